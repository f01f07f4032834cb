// Drawing surfaces of the hex editor.
#include "hexeditor/wqhcanvas.h"

void TWQHImageList::AddMasked(const QImage& Strip, QRgb MaskColor)
{
    (void)Strip;
    (void)MaskColor;
}

std::unique_ptr<TWQHCanvas> CreateQtCanvas(QPaintDevice* Device, const QFont& Font)
{
    (void)Device;
    (void)Font;
    return nullptr;
}

TWQHRecordingCanvas::TWQHRecordingCanvas(const QFont& Font) : FFont(Font) {}
int TWQHRecordingCanvas::FontSize() const { return FFont.pointSize(); }
void TWQHRecordingCanvas::SetFontSize(int Size) { FFont.setPointSize(Size); }
void TWQHRecordingCanvas::FillRect(const TRect&) {}
void TWQHRecordingCanvas::TextRect(const TRect&, int, int, const QString&) {}
int TWQHRecordingCanvas::TextWidth(const QString&) const { return 0; }
int TWQHRecordingCanvas::TextHeight(const QString&) const { return 0; }
void TWQHRecordingCanvas::MoveTo(int, int) {}
void TWQHRecordingCanvas::LineTo(int, int) {}
void TWQHRecordingCanvas::FrameRect(const TRect&, TColor) {}
void TWQHRecordingCanvas::DrawFocusRect(const TRect&) {}
void TWQHRecordingCanvas::DrawGlyph(const TWQHImageList&, int, int, int) {}
void TWQHRecordingCanvas::InvertRect(const TRect&) {}

#include "hexeditor/ex/wqhexeditorex.h"

#include "hexeditor/ex/wqhpopupmenu.h"

#include <QPaintEvent>
#include <QPainter>

TWQHexEditorEx::TWQHexEditorEx(QWidget* parent)
    : TCustomWQHexEditor(parent),
      FPrintOptions(std::make_unique<TWQHPrintOptions>()),
      FPrintFont(std::make_unique<TWQHFont>(TWQHFont::FromQFont(font())))
{
    CreateDropTarget();
}

TWQHexEditorEx::~TWQHexEditorEx()
{
    // Nothing may leave a destructor: a clipboard that cannot be released or
    // flushed now is dropped with the control.
    try {
        ReleaseClipboard(FFlushClipboardAtShutDown);
    } catch (...) {
    }
    try {
        FClipData.reset();
    } catch (...) {
    }
    QObject::disconnect(FOffsetMenuGone);
    try {
        if (HandleAllocated())
            WMDestroy();
    } catch (...) {
    }
    try {
        FreeDropTarget();
    } catch (...) {
    }
}

// ---- paint suspension -------------------------------------------------------

int TWQHexEditorEx::BeginUpdate()
{
    // A skipped paint under Qt leaves undefined pixels: keep the last frame
    // to show until painting resumes.
    if (FPaintUpdateCounter <= 0 && isVisible() && !viewport()->size().isEmpty())
        FFrozenFrame = viewport()->grab().toImage();
    return ++FPaintUpdateCounter;
}

int TWQHexEditorEx::EndUpdate()
{
    if (FPaintUpdateCounter > 0)
        --FPaintUpdateCounter;
    if (FPaintUpdateCounter == 0) {
        FFrozenFrame = QImage();
        Repaint();
    }
    return FPaintUpdateCounter;
}

void TWQHexEditorEx::Paint()
{
    if (FPaintUpdateCounter <= 0)
        TCustomWQHexEditor::Paint();
}

void TWQHexEditorEx::paintEvent(QPaintEvent* event)
{
    if (FPaintUpdateCounter <= 0) {
        TCustomWQHexEditor::paintEvent(event);
        return;
    }
    QPainter p(viewport());
    if (FFrozenFrame.isNull()) {
        // Suspended before anything was shown: the background only.
        p.fillRect(viewport()->rect(), viewport()->palette().color(QPalette::Base));
        return;
    }
    const QSize sz = FFrozenFrame.deviceIndependentSize().toSize();
    if (sz.width() < viewport()->width() || sz.height() < viewport()->height())
        p.fillRect(viewport()->rect(), viewport()->palette().color(QPalette::Base));
    p.drawImage(QPoint(0, 0), FFrozenFrame);
}

void TWQHexEditorEx::CMFontChanged()
{
    const QFont within = WQHFontInSizeRange(font());
    if (within != font()) {
        setFont(within);  // its own change lays it out
        return;
    }
    TCustomWQHexEditor::CMFontChanged();
}

// ---- window and offset menu -------------------------------------------------

void TWQHexEditorEx::CreateWnd()
{
    TCustomWQHexEditor::CreateWnd();
    SetDropTargetActive(FOleDragDrop);
}

void TWQHexEditorEx::WMDestroy()
{
    TCustomWQHexEditor::WMDestroy();
    if (!FIsLoading)
        SetDropTargetActive(false);
}

void TWQHexEditorEx::SetOffsetPopupMenu(TWQHPopupMenu* Value)
{
    if (Value == FOffsetPopupMenu)
        return;
    QObject::disconnect(FOffsetMenuGone);
    FOffsetPopupMenu = Value;
    if (Value != nullptr) {
        QObject* menu = Value;
        FOffsetMenuGone = connect(menu, &QObject::destroyed, this, [this, menu] { Notification(menu, opRemove); });
    }
}

void TWQHexEditorEx::Notification(QObject* AComponent, TOperation Operation)
{
    if (Operation == opRemove && AComponent != nullptr && AComponent == static_cast<QObject*>(FOffsetPopupMenu)) {
        QObject::disconnect(FOffsetMenuGone);
        FOffsetPopupMenu = nullptr;
    }
}

void TWQHexEditorEx::BookmarkChanged()
{
    // Held back while a bookmark text is read; it fires once at the end.
    if (!FBookmarksNoChange)
        TCustomWQHexEditor::BookmarkChanged();
}

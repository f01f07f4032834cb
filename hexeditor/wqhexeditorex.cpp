#include "hexeditor/wqhexeditorex.h"

#include "platform/exceptions.h"
#include "platform/streams.h"

#include <QFontDatabase>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>
#include <limits>

TWQHexEditorEx::TWQHexEditorEx(QWidget* parent)
    : QAbstractScrollArea(parent)
{
    QFont font(QStringLiteral("Courier New"));
    font.setStyleHint(QFont::Monospace);
    font.setFixedPitch(true);
    font.setPixelSize(15);
    setFont(font);
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    UpdateScrollBars();
}

void TWQHexEditorEx::LoadFromStream(platform::TStream& stream)
{
    stream.SetPosition(0);
    const std::int64_t size = stream.Size();
    if (size < 0 || size > std::numeric_limits<int>::max())
        throw platform::EReadError(QStringLiteral("Stream too large for the hex view"));
    QByteArray bytes(static_cast<qsizetype>(size), Qt::Uninitialized);
    if (size > 0)
        stream.ReadBuffer(bytes.data(), size);
    data_ = std::move(bytes);
    verticalScrollBar()->setValue(0);
    UpdateScrollBars();
    viewport()->update();
}

int TWQHexEditorEx::RowCount() const
{
    return static_cast<int>((data_.size() + bytesPerRow_ - 1) / bytesPerRow_);
}

QString TWQHexEditorEx::RowText(int row) const
{
    if (row < 0 || row >= RowCount())
        return {};
    const qsizetype start = static_cast<qsizetype>(row) * bytesPerRow_;
    const qsizetype end = std::min<qsizetype>(start + bytesPerRow_, data_.size());
    QString text = QStringLiteral("0x") + QStringLiteral("%1").arg(static_cast<qulonglong>(start), 8, 16, QLatin1Char('0')).toUpper() + QStringLiteral("  ");
    QString chars;
    for (qsizetype i = start; i < start + bytesPerRow_; ++i) {
        if (i < end) {
            const auto b = static_cast<unsigned char>(data_[i]);
            text += QStringLiteral("%1 ").arg(b, 2, 16, QLatin1Char('0')).toUpper();
            chars += (b >= 0x20 && b < 0x7F) ? QChar(b) : QChar(u'.');
        } else {
            text += QStringLiteral("   ");
        }
    }
    return text + u' ' + chars;
}

int TWQHexEditorEx::RowHeight() const { return std::max(1, fontMetrics().height()); }

void TWQHexEditorEx::UpdateScrollBars()
{
    const int visible = std::max(1, viewport()->height() / RowHeight());
    verticalScrollBar()->setRange(0, std::max(0, RowCount() - visible));
    verticalScrollBar()->setPageStep(visible);
    const int textWidth = fontMetrics().horizontalAdvance(QString(12 + bytesPerRow_ * 4 + 1, u'0'));
    horizontalScrollBar()->setRange(0, std::max(0, textWidth - viewport()->width()));
    horizontalScrollBar()->setPageStep(viewport()->width());
}

void TWQHexEditorEx::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollBars();
}

void TWQHexEditorEx::keyPressEvent(QKeyEvent* event)
{
    auto* bar = verticalScrollBar();
    switch (event->key()) {
    case Qt::Key_Home: if (event->modifiers() & Qt::ControlModifier) bar->setValue(0); break;
    case Qt::Key_End: if (event->modifiers() & Qt::ControlModifier) bar->setValue(bar->maximum()); break;
    default: QAbstractScrollArea::keyPressEvent(event); return;
    }
}

void TWQHexEditorEx::paintEvent(QPaintEvent*)
{
    QPainter painter(viewport());
    const int rowHeight = RowHeight();
    const int first = verticalScrollBar()->value();
    const int rows = viewport()->height() / rowHeight + 1;
    const int x = 4 - horizontalScrollBar()->value();
    for (int i = 0; i < rows; ++i) {
        const int row = first + i;
        if (row >= RowCount())
            break;
        painter.drawText(x, i * rowHeight + fontMetrics().ascent(), RowText(row));
    }
}

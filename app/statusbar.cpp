#include "app/statusbar.h"

#include <QPainter>

TStatusBar::TStatusBar(QWidget* parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent, false);
    setAutoFillBackground(true);
}

void TStatusBar::AddPanel(int width, const QString& text, bool ownerDrawn)
{
    panels_.push_back({width, text, ownerDrawn});
    update();
}

QString TStatusBar::PanelText(int index) const
{
    if (index < 0 || index >= PanelCount())
        return {};
    return panels_[static_cast<size_t>(index)].text;
}

void TStatusBar::SetPanelText(int index, const QString& text)
{
    if (index < 0 || index >= PanelCount())
        return;
    auto& panel = panels_[static_cast<size_t>(index)];
    if (panel.text == text)
        return;
    panel.text = text;
    update(PanelRect(index));
}

QRect TStatusBar::PanelRect(int index) const
{
    if (index < 0 || index >= PanelCount())
        return {};
    int left = 0;
    for (int i = 0; i < index; ++i)
        left += panels_[static_cast<size_t>(i)].width;
    // The last panel runs to the right edge, as a Windows status bar does.
    const int right = index == PanelCount() - 1 ? width() : left + panels_[static_cast<size_t>(index)].width;
    return QRect(QPoint(left, 0), QPoint(std::max(left, right) - 1, height() - 1));
}

void TStatusBar::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    for (int i = 0; i < PanelCount(); ++i) {
        const QRect r = PanelRect(i);
        painter.save();
        painter.setPen(palette().color(QPalette::Mid));
        painter.drawRect(r.adjusted(1, 1, -2, -2));
        painter.restore();
        const auto& panel = panels_[static_cast<size_t>(i)];
        if (panel.ownerDrawn) {
            if (OnDrawPanel) {
                painter.save();
                OnDrawPanel(painter, i, r);
                painter.restore();
            }
            continue;
        }
        painter.drawText(r, Qt::AlignCenter, panel.text);
    }
}

void TStatusBar::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    emit Resized();
}

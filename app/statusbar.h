#pragma once
// The main window's status bar: fixed-width panels drawn side by side, the
// last one stretching to the right edge and drawn by its owner.
#include <QString>
#include <QWidget>
#include <functional>
#include <vector>

class QPainter;

class TStatusBar : public QWidget {
    Q_OBJECT
public:
    struct Panel {
        int width = 50;
        QString text;
        bool ownerDrawn = false;
    };

    explicit TStatusBar(QWidget* parent = nullptr);

    int PanelCount() const { return static_cast<int>(panels_.size()); }
    void AddPanel(int width, const QString& text, bool ownerDrawn = false);
    QString PanelText(int index) const;   // empty for an index out of range
    void SetPanelText(int index, const QString& text);
    QRect PanelRect(int index) const;
    int BorderWidth() const { return 0; }

    // Draws an owner-drawn panel: (painter, panel index, rectangle).
    std::function<void(QPainter&, int, const QRect&)> OnDrawPanel;

signals:
    void Resized();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    std::vector<Panel> panels_;
};

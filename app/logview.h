#pragma once
// The log pane: newest line on top. Keeps its lines as a list so callers can
// read them back as the rich edit's Lines.
#include <QPlainTextEdit>
#include <QStringList>

class TLogView : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit TLogView(QWidget* parent = nullptr);

    // Lines, index 0 the newest.
    const QStringList& Lines() const { return lines_; }
    int Count() const { return static_cast<int>(lines_.size()); }
    // index is clamped to 0..Count(); 0 puts the line on top.
    void Insert(int index, const QString& line);
    void Clear();
    // The string list's comparison: without regard to letter case.
    bool NewestLineIs(const QString& line) const;

private:
    void Refresh();
    QStringList lines_;
};

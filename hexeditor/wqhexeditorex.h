#pragma once
// Hex view of the chip image: a read-only dump, offset | 16 bytes | characters.
// Only the rows in view are painted, so a 64 MiB image costs nothing extra.
#include <QAbstractScrollArea>
#include <QByteArray>

namespace platform {
class TStream;
}

class TWQHexEditorEx : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit TWQHexEditorEx(QWidget* parent = nullptr);

    // Replaces the data with the whole stream, read from position 0.
    void LoadFromStream(platform::TStream& stream);
    int DataSize() const { return static_cast<int>(data_.size()); }
    QByteArray Data() const { return data_; }

    int BytesPerRow() const { return bytesPerRow_; }
    int RowCount() const;
    // The text of one row as painted ("0x00000010  41 42 ...  AB.."); empty past the end.
    QString RowText(int row) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void UpdateScrollBars();
    int RowHeight() const;

    QByteArray data_;
    int bytesPerRow_ = 16;
};

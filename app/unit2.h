#pragma once
// The chip table dialog: the loaded chip list in a grid.
#include <QDialog>
#include <QStringList>

class QPushButton;
class QTableWidget;
class TForm1;

class TForm2 : public QDialog {
    Q_OBJECT
public:
    // form supplies the chip table; the dialog is centred on it.
    explicit TForm2(TForm1* form, QWidget* owner = nullptr);

    QTableWidget* StringGrid1 = nullptr; // the header is the fixed caption row
    QPushButton* Button1 = nullptr;      // 添加
    QPushButton* Button2 = nullptr;      // 删除, no action
    QPushButton* Button3 = nullptr;      // 保存, no action
    QPushButton* Button4 = nullptr;      // 退出

    void FormShow();
    void 添加Click();
    void 退出Click();

    // Grid rows as a fixed-row grid counts them: row 0 is the caption row.
    int RowCount() const;
    QStringList RowTexts(int row) const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    TForm1* form_;
};

extern TForm2* Form2;

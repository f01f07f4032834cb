#include "app/unit2.h"

#include "app/chiplist.h"
#include "app/unit1.h"
#include "platform/exceptions.h"

#include <QHeaderView>
#include <QPushButton>
#include <QShowEvent>
#include <QTableWidget>

TForm2* Form2 = nullptr;

namespace {
constexpr int ColumnCount = 7;
}

TForm2::TForm2(TForm1* form, QWidget* owner)
    : QDialog(owner ? owner : form), form_(form)
{
    setObjectName(QStringLiteral("Form2"));
    // The main window probes again when the user comes back from this form.
    setProperty("qv750Form", true);
    setWindowTitle(QStringLiteral("芯片"));
    QFont font(QStringLiteral("Tahoma"));
    font.setFamilies({QStringLiteral("Tahoma"), QStringLiteral("WenQuanYi Micro Hei")});
    setFont(font);
    setFixedSize(734, 378);

    StringGrid1 = new QTableWidget(this);
    StringGrid1->setObjectName(QStringLiteral("StringGrid1"));
    StringGrid1->setGeometry(0, 0, 734, 305);
    StringGrid1->setColumnCount(ColumnCount);
    for (int c = 0; c < ColumnCount; ++c)
        StringGrid1->setColumnWidth(c, 98);
    StringGrid1->verticalHeader()->setVisible(false); // no fixed column
    StringGrid1->setShowGrid(true);
    StringGrid1->setSelectionMode(QAbstractItemView::ContiguousSelection);
    StringGrid1->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed
                                 | QAbstractItemView::AnyKeyPressed);

    auto button = [this](const char* name, const QString& caption, int x) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(QString::fromLatin1(name));
        b->setGeometry(x, 325, 75, 25);
        b->setAutoDefault(false);
        return b;
    };
    Button1 = button("Button1", QStringLiteral("添加"), 72);
    Button2 = button("Button2", QStringLiteral("删除"), 232);
    Button3 = button("Button3", QStringLiteral("保存"), 384);
    Button4 = button("Button4", QStringLiteral("退出"), 544);
    connect(Button1, &QPushButton::clicked, this, [this] { platform::Guarded([this] { 添加Click(); }); });
    connect(Button4, &QPushButton::clicked, this, [this] { platform::Guarded([this] { 退出Click(); }); });
}

void TForm2::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        platform::Guarded([this] { FormShow(); });
}

void TForm2::FormShow()
{
    StringGrid1->setHorizontalHeaderLabels({QStringLiteral("芯片型号"), QStringLiteral("芯片ID"),
                                            QStringLiteral("芯片容量"), QStringLiteral("页尺寸"),
                                            QStringLiteral("类型"), QStringLiteral("子类型"), QStringLiteral("延时")});
    const int count = form_ ? std::min(form_->ChipCount(), static_cast<int>(form_->ChipTable.size())) : 0;
    StringGrid1->clearContents();
    // A grid keeps one (empty) row below the caption row even with no chips.
    StringGrid1->setRowCount(std::max(1, count));
    for (int row = 0; row < count; ++row) {
        const ChipInfo& chip = form_->ChipTable[static_cast<size_t>(row)];
        const QStringList cells = {chiplist::DisplayName(chip),       QString::number(chip.Id),
                                   QString::number(chip.Size),        QString::number(chip.PageSize),
                                   QString::number(chip.Type),        QString::number(chip.SubType),
                                   QString::number(chip.Delay)};
        for (int c = 0; c < ColumnCount; ++c)
            StringGrid1->setItem(row, c, new QTableWidgetItem(cells[c]));
    }
}

void TForm2::添加Click() { StringGrid1->setRowCount(StringGrid1->rowCount() + 1); }

void TForm2::退出Click() { close(); }

int TForm2::RowCount() const { return StringGrid1->rowCount() + 1; }

QStringList TForm2::RowTexts(int row) const
{
    QStringList texts;
    for (int c = 0; c < ColumnCount; ++c) {
        if (row == 0) {
            const QTableWidgetItem* header = StringGrid1->horizontalHeaderItem(c);
            texts << (header ? header->text() : QString());
        } else {
            const QTableWidgetItem* item = StringGrid1->item(row - 1, c);
            texts << (item ? item->text() : QString());
        }
    }
    return texts;
}

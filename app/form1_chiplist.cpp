// Chip list loading, the capacity label and the chip table dialog menu item.
#include "app/chiplist.h"
#include "app/unit1.h"
#include "app/unit2.h"
#include "platform/exceptions.h"
#include "platform/paths.h"
#include "platform/streams.h"

#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>

void TForm1::FormShow()
{
    const QString fileName = platform::ProgramFileWithExt(QStringLiteral(".txt"));
    ComboBox1->clear();
    QByteArray bytes;
    // A folder of that name is no chip list: nothing to read, nothing to report.
    const QFileInfo info(fileName);
    if (info.exists() && !info.isDir()) {
        // Only a regular file: a pipe without a writer would hold the start
        // before the window shows. Anything else raises the file-open error.
        platform::TFileStream file(fileName, platform::FileMode::OpenReadRegular);
        platform::TMemoryStream memory;
        memory.LoadFromStream(file);
        bytes = memory.Bytes();
    }
    const chiplist::ParseResult parsed = chiplist::ParseFile(bytes);

    // A longer list than the table holds grows the table.
    if (parsed.chips.size() > ChipTable.size())
        ChipTable.resize(parsed.chips.size());
    {
        const QSignalBlocker block(ComboBox1);
        for (size_t i = 0; i < parsed.chips.size(); ++i) {
            ChipTable[i] = parsed.chips[i];
            ComboBox1->addItem(chiplist::DisplayName(parsed.chips[i]));
        }
        // Adding the first item selects it in Qt; the list starts unselected.
        ComboBox1->setCurrentIndex(-1);
    }
    if (parsed.error)
        throw platform::EConvertError(*parsed.error);

    ComboBox1->setCurrentIndex(CpuType >= 0 && CpuType < ComboBox1->count() ? CpuType : -1);
    ComboBox1Change();
    ComboBox2->setCurrentIndex(SPEED >= 0 && SPEED < ComboBox2->count() ? SPEED : -1);
}

int TForm1::ChipCount() const { return ComboBox1->count(); }

void TForm1::ComboBox1Change()
{
    const ChipInfo* chip = SelectedChip();
    // Nothing selected: no size to show.
    Label1->setText(chip ? chiplist::CapacityCaption(chip->Size) : QStringLiteral("容量 -"));
}

void TForm1::ComboBox1TextEdited(const QString& text)
{
    const int match = ComboBox1->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (match != ComboBox1->currentIndex()) {
        QLineEdit* edit = ComboBox1->lineEdit();
        const int cursor = edit->cursorPosition();
        {
            const QSignalBlocker block(ComboBox1);
            ComboBox1->setCurrentIndex(match);
        }
        // Selecting nothing clears the edit; keep what the user typed.
        if (edit->text() != text) {
            edit->setText(text);
            edit->setCursorPosition(cursor);
        }
    }
    ComboBox1Change();
}

void TForm1::N12Click()
{
    if (Form2)
        Form2->exec();
}

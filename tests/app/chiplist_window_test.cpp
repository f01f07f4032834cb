// Chip list loading into the window, the capacity label, the model box and
// the chip table dialog.
#include "app_fixture.h"

#include "platform/exceptions.h"
#include "tests/support/other_user.h"

#include <QApplication>
#include <QDir>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using apptest::AppTest;

class ChipListWindowTest : public AppTest {
protected:
    void Type(const QString& text)
    {
        QLineEdit* edit = form->ComboBox1->lineEdit();
        for (QChar c : text) {
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
            QApplication::sendEvent(edit, &press);
        }
    }
};

TEST_F(ChipListWindowTest, LoadsEveryLineInOrder)
{
    CreateLoaded();
    ASSERT_EQ(form->ChipCount(), 6);
    EXPECT_EQ(form->ComboBox1->itemText(1), QStringLiteral("W25Q64"));
    EXPECT_EQ(form->ChipTable[1].Id, 0xEF4017);
    EXPECT_EQ(form->ChipTable[5].PageSize, 128);
    EXPECT_EQ(form->ComboBox1->currentIndex(), 0);
    ASSERT_NE(form->SelectedChip(), nullptr);
    EXPECT_EQ(form->SelectedChip()->Name, QByteArray("W25X80"));
    EXPECT_TRUE(fakes.ui.exceptions.empty());
}

TEST_F(ChipListWindowTest, NoFileGivesAnEmptyListSilently)
{
    // Nothing there, and a folder of that name, which is no file either.
    for (bool folder : {false, true}) {
        if (folder) {
            ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("qv750.txt")));
        }
        Create();
        form->show(); // the real path: showing loads the list
        QApplication::processEvents();
        EXPECT_EQ(form->ChipCount(), 0) << folder;
        EXPECT_EQ(form->SelectedChip(), nullptr) << folder;
        EXPECT_EQ(form->ComboBox1->currentIndex(), -1) << folder;
        EXPECT_EQ(form->Label1->text(), QStringLiteral("容量 -")) << folder << ": the loading ran to its end";
        EXPECT_EQ(form->ComboBox2->currentIndex(), 0) << folder << ": the saved clock is applied";
        EXPECT_TRUE(fakes.ui.exceptions.empty()) << folder;
        EXPECT_TRUE(Boxes().empty()) << folder;
    }
}

TEST_F(ChipListWindowTest, FailingLineKeepsEarlierLinesAndSelectsNothing)
{
    WriteFile(ListPath(), "A;1;1024;256;0;0;10\nB;2;2048;256;0;0;10\nBAD;0x;4096;256;0;0;1\nC;3;1;1;0;0;1\n");
    WriteFile(IniPath(), "[Programmer]\nCpuType=1\nSPEED=3\n");
    Create();
    form->show(); // the real path: showing loads the list; the error goes to the exception box
    QApplication::processEvents();
    ASSERT_EQ(fakes.ui.exceptions.size(), 1u);
    EXPECT_EQ(fakes.ui.exceptions[0], QStringLiteral("'0x' is not a valid integer value"));
    ASSERT_EQ(form->ChipCount(), 3);
    EXPECT_EQ(form->ComboBox1->itemText(2), QStringLiteral("BAD"));
    EXPECT_EQ(form->ChipTable[2].Name, QByteArray("BAD"));
    EXPECT_EQ(form->ChipTable[2].Id, 0);
    EXPECT_EQ(form->ChipTable[2].Size, 0);
    EXPECT_EQ(form->ComboBox1->currentIndex(), -1);
    EXPECT_EQ(form->Label1->text(), QStringLiteral("1C5114"));
    EXPECT_EQ(form->ComboBox2->currentIndex(), 5) << "the saved clock is not applied either";
    EXPECT_TRUE(form->isVisible()) << "the window still opens";
}

// A file the user may not read (root reads every file, so the load runs as
// another user).
TEST_F(ChipListWindowTest, UnreadableFileShowsTheErrorAndLoadsNothing)
{
    WriteFile(ListPath(), apptest::SampleList);
    ::chmod(QFile::encodeName(ListPath()).constData(), 0);
    testsupport::OpenFolderTo(dir.path(), 0755);
    Create();
    const int rc = testsupport::RunAsUnprivileged([&] {
        try {
            form->FormShow();
            return 1;
        } catch (const platform::EFOpenError& e) {
            if (!e.Message().startsWith(QStringLiteral("Cannot open file \"") + ListPath() + u'"'))
                return 2;
        }
        if (form->ChipCount() != 0)
            return 3;
        return form->Label1->text() == QStringLiteral("1C5114") ? 0 : 4;
    });
    EXPECT_EQ(rc, 0);
}

// In the list's place something that is no regular file: a pipe nobody
// writes to, or a device. The window shows at once with the open error.
TEST_F(ChipListWindowTest, PipeOrDeviceInTheListsPlaceShowsTheOpenErrorOnce)
{
    WriteFile(IniPath(), "[Programmer]\nCpuType=1\nSPEED=3\n");
    const QByteArray list = QFile::encodeName(ListPath());
    for (const bool device : {false, true}) {
        SCOPED_TRACE(device ? "device" : "pipe");
        QFile::remove(ListPath());
        ASSERT_EQ(device ? ::symlink("/dev/null", list.constData()) : ::mkfifo(list.constData(), 0600), 0);
        // A writer stands by for the pipe, so that a waiting open meets it
        // rather than hanging the test; the load must not wait for it.
        std::thread writer;
        if (!device) {
            writer = std::thread([list] {
                const int fd = ::open(list.constData(), O_WRONLY | O_CLOEXEC);
                if (fd >= 0)
                    ::close(fd);
            });
        }
        fakes.ui.exceptions.clear();
        Create();
        form->show();
        QApplication::processEvents();
        if (writer.joinable()) {
            const int reader = ::open(list.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
            writer.join();
            ::close(reader);
        }
        EXPECT_TRUE(form->isVisible());
        ASSERT_EQ(fakes.ui.exceptions.size(), 1u);
        EXPECT_EQ(fakes.ui.exceptions[0],
                  QStringLiteral("Cannot open file \"") + ListPath() + QStringLiteral("\". Not a regular file"));
        EXPECT_TRUE(Boxes().empty());
        EXPECT_EQ(form->ChipCount(), 0);
        EXPECT_EQ(form->Label1->text(), QStringLiteral("1C5114")) << "the restore does not run";
        EXPECT_EQ(form->ComboBox2->currentIndex(), 5) << "nor does the saved clock";
    }
}

TEST_F(ChipListWindowTest, MoreThanAThousandLinesGrowTheTable)
{
    QByteArray list;
    for (int i = 0; i < 1500; ++i)
        list += "CHIP" + QByteArray::number(i) + ";" + QByteArray::number(0x100000 + i) + ";" +
                QByteArray::number(1024 * (i + 1)) + ";256;0;0;" + QByteArray::number(i) + "\n";
    WriteFile(IniPath(), "[Programmer]\nCpuType=1499\n");
    CreateLoaded(list);
    ASSERT_EQ(form->ChipCount(), 1500);
    ASSERT_GE(form->ChipTable.size(), 1500u);
    EXPECT_EQ(form->ChipTable[1499].Delay, 1499);
    EXPECT_EQ(form->ComboBox1->currentIndex(), 1499);
    EXPECT_EQ(form->Label1->text(), QStringLiteral("容量 1 MB")) << "1500 KB";
}

TEST_F(ChipListWindowTest, SavedIndexOutsideTheListSelectsNothing)
{
    for (const char* ini : {"[Programmer]\nCpuType=6\nSPEED=8\n", "[Programmer]\nCpuType=-5\nSPEED=-1\n"}) {
        WriteFile(IniPath(), ini);
        CreateLoaded();
        EXPECT_EQ(form->ComboBox1->currentIndex(), -1) << ini;
        EXPECT_EQ(form->SelectedChip(), nullptr);
        EXPECT_EQ(form->ComboBox2->currentIndex(), -1);
        EXPECT_EQ(form->ClockIndex(), -1);
        EXPECT_EQ(form->Label1->text(), QStringLiteral("容量 -"));
        // Gone before the next file is written: its settings are saved on the way out.
        Destroy();
    }
}

TEST_F(ChipListWindowTest, CapacityLabelFollowsTheChoice)
{
    CreateLoaded("S0;1;1023;1;0;0;0\nS1;2;1024;1;0;0;0\nS2;3;1048575;1;0;0;0\nS3;4;1048576;1;0;0;0\nS4;5;0xFFFFFFFF;1;0;0;0\n");
    const QStringList expected = {"容量 1023 B", "容量 1 KB", "容量 1023 KB", "容量 1 MB", "容量 -1 B"};
    for (int i = 0; i < 5; ++i) {
        form->ComboBox1->setCurrentIndex(i);
        form->ComboBox1Change();
        EXPECT_EQ(form->Label1->text(), expected[i]);
    }
}

TEST_F(ChipListWindowTest, TypedTextNeverBecomesAnItem)
{
    CreateLoaded();
    form->show();
    QApplication::processEvents();
    form->ComboBox1->lineEdit()->clear();
    Type(QStringLiteral("W25Q64"));
    EXPECT_EQ(form->ComboBox1->currentIndex(), 1) << "an exact name selects its item";
    EXPECT_EQ(form->Label1->text(), QStringLiteral("容量 8 MB"));
    Type(QStringLiteral("X"));
    EXPECT_EQ(form->ComboBox1->lineEdit()->text(), QStringLiteral("W25Q64X"));
    EXPECT_EQ(form->ComboBox1->currentIndex(), -1);
    EXPECT_EQ(form->SelectedChip(), nullptr);
    EXPECT_EQ(form->Label1->text(), QStringLiteral("容量 -"));
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(form->ComboBox1->lineEdit(), &enter);
    EXPECT_EQ(form->ChipCount(), 6) << "Enter adds nothing";
    EXPECT_EQ(form->ComboBox1->currentIndex(), -1);
    EXPECT_EQ(form->ComboBox1->findText(QStringLiteral("W25Q64X")), -1);
}

TEST_F(ChipListWindowTest, ChipTableDialogRows)
{
    CreateLoaded("ONE;-5;0x7FFFFFFF;0xFFFF;255;7;-3\n");
    form2->FormShow();
    ASSERT_EQ(form2->RowCount(), 2);
    EXPECT_EQ(form2->RowTexts(0), (QStringList{"芯片型号", "芯片ID", "芯片容量", "页尺寸", "类型", "子类型", "延时"}));
    EXPECT_EQ(form2->RowTexts(1), (QStringList{"ONE", "-5", "2147483647", "-1", "255", "7", "-3"}));
    form2->添加Click();
    EXPECT_EQ(form2->RowCount(), 3);
    EXPECT_EQ(form2->RowTexts(2), QStringList(7, QString()));
    form2->FormShow();
    EXPECT_EQ(form2->RowCount(), 2) << "every showing rebuilds the rows";

    EXPECT_EQ(form2->windowTitle(), QStringLiteral("芯片"));
    EXPECT_EQ(form2->StringGrid1->columnCount(), 7);
    EXPECT_EQ(form2->StringGrid1->columnWidth(3), 98);
    EXPECT_EQ(form2->size(), QSize(734, 378));
    EXPECT_EQ(form2->StringGrid1->geometry(), QRect(0, 0, 734, 305));
    for (int c = 0; c < 7; ++c)
        EXPECT_EQ(form2->StringGrid1->columnWidth(c), 98) << c;
    const std::pair<QPushButton*, QString> buttons[] = {{form2->Button1, QStringLiteral("添加")},
                                                        {form2->Button2, QStringLiteral("删除")},
                                                        {form2->Button3, QStringLiteral("保存")},
                                                        {form2->Button4, QStringLiteral("退出")}};
    const int xs[] = {72, 232, 384, 544};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(buttons[i].first->text(), buttons[i].second);
        EXPECT_EQ(buttons[i].first->geometry(), QRect(xs[i], 325, 75, 25)) << buttons[i].second.toStdString();
    }
    // 删除 and 保存 do nothing: the rows stay as they are.
    form2->Button2->click();
    form2->Button3->click();
    EXPECT_EQ(form2->RowCount(), 2);
    EXPECT_EQ(form2->RowTexts(1)[0], QStringLiteral("ONE"));
    EXPECT_EQ(form->ChipCount(), 1);
}

TEST_F(ChipListWindowTest, ChipTableDialogWithoutChips)
{
    Create();
    form->FormShow();
    form2->FormShow();
    ASSERT_EQ(form2->RowCount(), 2);
    EXPECT_EQ(form2->RowTexts(1), QStringList(7, QString()));
}

TEST_F(ChipListWindowTest, HiddenMenuItemOpensTheDialogModally)
{
    CreateLoaded();
    QTimer::singleShot(0, form2.get(), [this] {
        EXPECT_TRUE(form2->isVisible());
        EXPECT_TRUE(form2->isModal());
        EXPECT_EQ(form2->RowCount(), 7);
        form2->Button4->click(); // 退出
    });
    form->N12->trigger();
    EXPECT_FALSE(form2->isVisible());
}

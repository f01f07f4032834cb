// Main window: components, settings file, status bar, log, About box, close.
#include "app_fixture.h"
#include "tests/support/other_user.h"

#include "hexeditor/wqhcolors.h"
#include "hexeditor/ex/wqhexeditorex.h"
#include "platform/inifile.h"
#include "platform/streams.h"

#include <QAction>
#include <QApplication>
#include <QFontMetrics>
#include <QImage>
#include <QKeyEvent>
#include <QWheelEvent>
#include <QScreen>
#include <QPainter>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSplitter>
#include <QTimer>

using apptest::AppTest;

namespace {

QStringList Sections(const QByteArray& ini)
{
    QStringList out;
    for (const QByteArray& line : ini.split('\n')) {
        const QByteArray t = line.trimmed();
        if (t.startsWith('['))
            out << QString::fromUtf8(t);
    }
    return out;
}

} // namespace

class WindowTest : public AppTest {};

TEST_F(WindowTest, ComponentsCaptionsAndVisibility)
{
    Create();
    EXPECT_EQ(form->windowTitle(), QStringLiteral("QV750高速编程器"));
    struct Named {
        const char* name;
        QString caption;
    };
    const Named buttons[] = {{"BitBtn1", "打开"},     {"BitBtn4", "保存"},     {"BitBtn6", "自动检测"},
                             {"BitBtn2", "读出芯片"}, {"BitBtn8", "擦除芯片"}, {"BitBtn3", "写入芯片"},
                             {"BitBtn9", "校验芯片"}, {"BitBtn7", "自动烧录"}, {"BitBtn5", "退出"},
                             {"BitBtn10", "脱机写入"}};
    for (const Named& b : buttons) {
        auto* button = form->findChild<QPushButton*>(QString::fromLatin1(b.name));
        ASSERT_NE(button, nullptr) << b.name;
        EXPECT_EQ(button->text(), b.caption) << b.name;
    }
    EXPECT_TRUE(form->BitBtn10->isHidden());
    EXPECT_TRUE(form->Label2->isHidden());
    EXPECT_EQ(form->Label2->text(), QStringLiteral("速度 "));
    EXPECT_TRUE(form->ComboBox2->isHidden());
    EXPECT_EQ(form->Label1->text(), QStringLiteral("1C5114"));
    EXPECT_TRUE(form->ComboBox1->isEditable());

    const QStringList clocks = {"36000000", "18000000", "9000000", "4500000",
                                "2250000",  "1125000",  "562500",  "281250"};
    ASSERT_EQ(form->ComboBox2->count(), 8);
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(form->ComboBox2->itemText(i), clocks[i]);
    EXPECT_EQ(form->ComboBox2->currentIndex(), 5) << "as designed, until the chip list restores SPEED";

    // Menus in order, with hidden N12 and Update1.
    auto captions = [](QMenu* menu) {
        QStringList out;
        for (QAction* a : menu->actions())
            out << (a->isSeparator() ? QStringLiteral("-") : a->text());
        return out;
    };
    EXPECT_EQ(form->File1->title(), QStringLiteral("文件"));
    EXPECT_EQ(captions(form->File1), (QStringList{"打开", "保存", "退出"}));
    EXPECT_EQ(form->N4->title(), QStringLiteral("编程器操作"));
    EXPECT_EQ(captions(form->N4), (QStringList{"芯片检测", "读出", "擦除", "写入", "校验", "自动", "-", "添加芯片"}));
    EXPECT_FALSE(form->N12->isVisible());
    EXPECT_EQ(form->About1->title(), QStringLiteral("关于"));
    EXPECT_EQ(captions(form->About1), (QStringList{"Update", "关于"}));
    EXPECT_FALSE(form->Update1->isVisible());
    EXPECT_EQ(form->N13->objectName(), QStringLiteral("N13"));

    EXPECT_EQ(form->Panel1->height(), 41);
    EXPECT_EQ(form->Panel2->width(), 185);
    EXPECT_EQ(form->StatusBar1->height(), 32);
    EXPECT_EQ(form->StatusBar1->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(form->font().family(), QStringLiteral("MS Sans Serif"));
    EXPECT_EQ(form->font().pixelSize(), 16);
    EXPECT_EQ(form->RichEdit1->font().family(), QStringLiteral("Tahoma"));
    EXPECT_EQ(form->RichEdit1->font().pixelSize(), 11);
    EXPECT_FALSE(form->Timer1->isActive());
    EXPECT_TRUE(form->Progress->isHidden());
    EXPECT_EQ(form->Progress->parentWidget(), form->StatusBar1);
    EXPECT_EQ(form->ImageLength, 0);
    EXPECT_EQ(form->ImageBuffer[0], 0xFF);
    EXPECT_EQ(form->ImageBuffer[TForm1::MaxImageSize - 1], 0xFF);
    EXPECT_EQ(form->ChipTable.size(), 1000u);
}

TEST_F(WindowTest, StatusPanelsAtStart)
{
    Create();
    const QStringList texts = {"状态", "就绪", "使用时间", "00:00:00"};
    const int widths[] = {50, 120, 70, 75};
    ASSERT_EQ(form->StatusBar1->PanelCount(), 5);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(form->StatusPanel(i), texts[i]);
        EXPECT_EQ(form->StatusBar1->PanelRect(i).width(), widths[i]);
    }
    EXPECT_FALSE(form->StatusPanel(4).isEmpty());
    EXPECT_EQ(form->StatusBar1->PanelRect(4).left(), 315);
    EXPECT_EQ(form->StatusPanel(7), QString()) << "no panel 7";
    form->SetStatusPanel(1, QStringLiteral("读出 Flash ..."));
    EXPECT_EQ(form->StatusPanel(1), QStringLiteral("读出 Flash ..."));
}

TEST_F(WindowTest, FirstStartUsesDefaultsAndWritesOnlyTwoSections)
{
    WriteFile(ListPath(), apptest::SampleList);
    Create();
    EXPECT_EQ(form->width(), 700);
    EXPECT_EQ(form->height(), 500);
    EXPECT_EQ(form->x(), 10);
    EXPECT_EQ(form->y(), 10);
    EXPECT_FALSE(form->isMaximized());
    for (QCheckBox* box : {form->CheckBox4, form->CheckBox1, form->CheckBox2, form->CheckBox3})
        EXPECT_TRUE(box->isChecked()) << box->objectName().toStdString();
    form->FormShow();
    EXPECT_EQ(form->ComboBox1->currentIndex(), 0);
    EXPECT_EQ(form->ComboBox2->currentText(), QStringLiteral("36000000"));
    EXPECT_EQ(form->Label1->text(), QStringLiteral("容量 1 MB"));

    EXPECT_FALSE(QFile::exists(IniPath()));
    form->close();
    const QByteArray ini = ReadFile(IniPath());
    EXPECT_EQ(Sections(ini), (QStringList{"[Environment]", "[Programmer]"}));
    platform::TIniFile back(IniPath());
    EXPECT_EQ(back.ReadInteger("Environment", "FormWidth", -1), 700);
    EXPECT_EQ(back.ReadInteger("Environment", "FormHeight", -1), 500);
    EXPECT_EQ(back.ReadInteger("Environment", "FormTop", -1), 10);
    EXPECT_EQ(back.ReadInteger("Environment", "FormLeft", -1), 10);
    EXPECT_EQ(back.ReadString("Environment", "FormMax", "?"), QStringLiteral("0"));
    EXPECT_EQ(back.ReadInteger("Programmer", "CpuType", -9), 0);
    EXPECT_EQ(back.ReadInteger("Programmer", "SPEED", -9), 0);
    EXPECT_EQ(back.ReadString("Programmer", "VERITY", "?"), QStringLiteral("1"));
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(WindowTest, SettingsRoundTrip)
{
    WriteFile(ListPath(), apptest::SampleList);
    WriteFile(IniPath(), "[Environment]\nFormTop=0x20\nFormLeft=$30\nFormHeight=444\nFormWidth=555\n"
                         "[Programmer]\nCpuType=4\nSPEED=7\nCHECKID=0\nERASE=0\nWRITE=2\nVERITY=0\n"
                         "[PROGRAM]\nKeep=me\n");
    Create();
    EXPECT_EQ(form->y(), 32);
    EXPECT_EQ(form->x(), 48);
    EXPECT_EQ(form->size(), QSize(555, 444));
    EXPECT_FALSE(form->CheckBox4->isChecked());
    EXPECT_FALSE(form->CheckBox1->isChecked());
    EXPECT_TRUE(form->CheckBox2->isChecked()) << "any non-zero integer is true";
    EXPECT_FALSE(form->CheckBox3->isChecked());
    form->FormShow();
    EXPECT_EQ(form->ComboBox1->currentText(), QStringLiteral("24C256"));
    EXPECT_EQ(form->Label1->text(), QStringLiteral("容量 32 KB"));
    EXPECT_EQ(form->ComboBox2->currentText(), QStringLiteral("281250"));

    form->ComboBox1->setCurrentIndex(1);
    form->ComboBox2->setCurrentIndex(2);
    form->CheckBox1->setChecked(true);
    form->move(21, 22);
    form->close();
    platform::TIniFile back(IniPath());
    EXPECT_EQ(back.ReadInteger("Programmer", "CpuType", -9), 1);
    EXPECT_EQ(back.ReadInteger("Programmer", "SPEED", -9), 2);
    EXPECT_EQ(back.ReadString("Programmer", "ERASE", "?"), QStringLiteral("1"));
    EXPECT_EQ(back.ReadString("Programmer", "CHECKID", "?"), QStringLiteral("0"));
    EXPECT_EQ(back.ReadInteger("Environment", "FormLeft", -1), 21);
    EXPECT_EQ(back.ReadInteger("Environment", "FormTop", -1), 22);
    EXPECT_EQ(back.ReadString("PROGRAM", "Keep", "?"), QStringLiteral("me")) << "other sections stay";
}

TEST_F(WindowTest, BadNumbersGiveDefaults)
{
    WriteFile(IniPath(), "[Environment]\nFormTop=abc\nFormLeft=\nFormHeight=12x\nFormWidth=0x\n"
                         "[Programmer]\nCHECKID=yes\n");
    Create();
    EXPECT_EQ(form->y(), 10);
    EXPECT_EQ(form->x(), 10);
    EXPECT_EQ(form->size(), QSize(700, 500));
    EXPECT_TRUE(form->CheckBox4->isChecked());
}

TEST_F(WindowTest, FormMaxIgnoresGeometryButWritesItBack)
{
    WriteFile(IniPath(), "[Environment]\nFormMax=1\nFormTop=300\nFormLeft=300\nFormHeight=123\nFormWidth=234\n");
    Create();
    EXPECT_TRUE(form->windowState() & Qt::WindowMaximized);
    EXPECT_NE(form->size(), QSize(234, 123));
    form->close();
    platform::TIniFile back(IniPath());
    EXPECT_EQ(back.ReadString("Environment", "FormMax", "?"), QStringLiteral("1"));
    EXPECT_TRUE(back.ValueExists("Environment", "FormWidth"));
    EXPECT_TRUE(back.ValueExists("Environment", "FormTop"));
}

// Opened maximised, the window keeps its designed size for when it is
// restored: a client area of 776 x 475 below the menu bar.
TEST_F(WindowTest, RestoredFromMaximisedTheClientAreaIsAsDesigned)
{
    WriteFile(IniPath(), "[Environment]\nFormMax=1\n");
    Create();
    form->show();
    QApplication::processEvents();
    ASSERT_TRUE(form->isMaximized());
    form->showNormal();
    QApplication::processEvents();
    ASSERT_FALSE(form->isMaximized());
    const QRect menu = form->menuBar()->geometry();
    EXPECT_GT(menu.height(), 0);
    EXPECT_EQ(form->centralWidget()->geometry(), QRect(0, menu.bottom() + 1, 776, 475));
    EXPECT_EQ(form->size(), QSize(776, menu.height() + 475));
}

TEST_F(WindowTest, SettingsMoveToTheUserConfigWhenTheFileBesideTheProgramCannotBeWritten)
{
    const QString userIni = dir.path() + QStringLiteral("/config/qv750/qv750.ini");
    // A folder that does not exist cannot be written (root passes every
    // permission check, so a read-only folder would not show it here).
    platform::SetProgramPathForTesting(dir.path() + QStringLiteral("/missing/folder/qv750"));
    EXPECT_EQ(SettingsFileName(), dir.path() + QStringLiteral("/missing/folder/qv750.ini"));
    EXPECT_EQ(UserSettingsFileName(), userIni);

    Create();
    form->CheckBox1->setChecked(false);
    form->close();
    EXPECT_TRUE(Boxes().empty());
    platform::TIniFile back(userIni);
    EXPECT_EQ(back.ReadString("Programmer", "ERASE", "?"), QStringLiteral("0"));

    // From then on that file is the one read.
    EXPECT_EQ(SettingsFileName(), userIni);
    Create();
    EXPECT_FALSE(form->CheckBox1->isChecked());
}

TEST_F(WindowTest, SettingsBesideTheProgramAreReadAndWrittenThere)
{
    // Another program's section with a key and value in GBK (芯片), a byte
    // GBK does not map, and a key of ours in its own spelling.
    const QByteArray other = "[PROGRAM]\r\n\xD0\xBE\xC6\xAC=\xD0\xBE\xC6\xAC \x80\r\n";
    WriteFile(IniPath(), "[Programmer]\r\nerase = 0\r\n" + other);
    EXPECT_EQ(SettingsFileName(), IniPath());
    Create();
    EXPECT_FALSE(form->CheckBox1->isChecked());
    form->CheckBox2->setChecked(false);
    form->close();
    const QByteArray saved = ReadFile(IniPath());
    EXPECT_TRUE(saved.startsWith("[Programmer]\r\nerase =0\r\n")) << saved.toStdString();
    EXPECT_TRUE(saved.contains(other)) << "lines the program does not change keep their bytes";
    platform::TIniFile back(IniPath());
    EXPECT_EQ(back.ReadString("Programmer", "WRITE", "?"), QStringLiteral("0"));
    EXPECT_FALSE(QFileInfo::exists(UserSettingsFileName()));
    EXPECT_FALSE(QFileInfo::exists(dir.path() + QStringLiteral("/config"))) << "no folder made for nothing";
}

// Another copy of the program once fell back to the user's folder: this
// copy's own file beside it can be written, so that file is the one read and
// written, and the user's file is left as it is.
TEST_F(WindowTest, WritableSettingsBesideTheProgramWinOverTheUserFile)
{
    const QString userIni = dir.path() + QStringLiteral("/config/qv750/qv750.ini");
    ASSERT_TRUE(QDir().mkpath(QFileInfo(userIni).absolutePath()));
    const QByteArray user = "[Programmer]\nCpuType=4\nERASE=1\nWRITE=0\n";
    WriteFile(userIni, user);
    WriteFile(IniPath(), "[Programmer]\nCpuType=2\nERASE=0\nWRITE=1\n");
    EXPECT_EQ(SettingsFileName(), IniPath());
    CreateLoaded();
    EXPECT_EQ(form->ComboBox1->currentIndex(), 2);
    EXPECT_FALSE(form->CheckBox1->isChecked());
    EXPECT_TRUE(form->CheckBox2->isChecked());
    form->CheckBox3->setChecked(false);
    form->close();
    EXPECT_TRUE(Boxes().empty());
    {
        platform::TIniFile back(IniPath());
        EXPECT_EQ(back.ReadString("Programmer", "VERITY", "?"), QStringLiteral("0"));
        EXPECT_EQ(back.ReadString("Programmer", "CpuType", "?"), QStringLiteral("2"));
    }
    EXPECT_EQ(ReadFile(userIni), user);

    // Missing beside the program, in a folder that can be written: made there.
    ASSERT_TRUE(QFile::remove(IniPath()));
    EXPECT_EQ(SettingsFileName(), IniPath());
    Create();
    EXPECT_TRUE(form->CheckBox2->isChecked()) << "the defaults, not the user's file";
    form->close();
    EXPECT_TRUE(QFileInfo::exists(IniPath()));
    EXPECT_EQ(ReadFile(userIni), user);
}

TEST_F(WindowTest, SettingsFileThatCannotBeReadGoesToTheUserConfigOnClose)
{
    // Something that exists but is no readable file: never overwritten.
    ASSERT_TRUE(QDir().mkpath(IniPath()));
    Create();
    EXPECT_TRUE(form->CheckBox1->isChecked());
    form->CheckBox1->setChecked(false);
    form->close();
    EXPECT_TRUE(Boxes().empty());
    EXPECT_TRUE(QFileInfo(IniPath()).isDir());
    Create();
    EXPECT_FALSE(form->CheckBox1->isChecked());
}

// Permissions, as a user root's overrides do not cover: a settings file
// beside the program that may not be written moves to the user's folder
// with everything it held; one that may be written stays where it is even
// in a folder the user may not write.
TEST_F(WindowTest, SettingsWriteFollowsWhatTheUserMayWrite)
{
    const QString locked = dir.path() + QStringLiteral("/locked");
    const QString frozen = dir.path() + QStringLiteral("/frozen");
    ASSERT_TRUE(QDir().mkpath(locked) && QDir().mkpath(frozen) && QDir().mkpath(dir.path() + "/home"));
    WriteFile(locked + QStringLiteral("/qv750.ini"), "[Programmer]\nERASE=0\n[PROGRAM]\nKeep=me\n");
    WriteFile(frozen + QStringLiteral("/qv750.ini"), "[Programmer]\nERASE=0\n");
    for (const QString& p : {locked, frozen, locked + "/qv750.ini", frozen + "/qv750.ini", dir.path() + "/home"})
        testsupport::GiveToCheckUser(p);
    testsupport::OpenFolderTo(dir.path(), 0755);
    ::chmod(QFile::encodeName(locked + "/qv750.ini").constData(), 0444);
    testsupport::OpenFolderTo(frozen, 0555);
    const QString home = dir.path() + QStringLiteral("/home/config");
    qputenv("XDG_CONFIG_HOME", home.toLocal8Bit());
    const int rc = testsupport::RunAsUnprivileged([&] {
        platform::SetProgramPathForTesting(locked + QStringLiteral("/qv750"));
        {
            platform::TIniFile ini(SettingsFileName());
            if (ini.ReadString("Programmer", "ERASE", "?") != QStringLiteral("0"))
                return 1;
            ini.WriteBool("Programmer", "WRITE", false);
            if (!WriteSettingsFile(ini) || ini.FileName() != home + QStringLiteral("/qv750/qv750.ini"))
                return 2;
        }
        if (SettingsFileName() != home + QStringLiteral("/qv750/qv750.ini"))
            return 3;
        platform::TIniFile moved(SettingsFileName());
        if (moved.ReadString("PROGRAM", "Keep", "?") != QStringLiteral("me")
            || moved.ReadString("Programmer", "WRITE", "?") != QStringLiteral("0"))
            return 4;

        platform::SetProgramPathForTesting(frozen + QStringLiteral("/qv750"));
        platform::TIniFile ini(frozen + QStringLiteral("/qv750.ini"));
        ini.WriteBool("Programmer", "ERASE", true);
        return WriteSettingsFile(ini) && ini.FileName() == frozen + QStringLiteral("/qv750.ini") ? 0 : 5;
    });
    testsupport::OpenFolderTo(frozen, 0755);
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(ReadFile(locked + QStringLiteral("/qv750.ini")), QByteArray("[Programmer]\nERASE=0\n[PROGRAM]\nKeep=me\n"));
    EXPECT_EQ(ReadFile(frozen + QStringLiteral("/qv750.ini")), QByteArray("[Programmer]\nERASE=1\n"));
}

TEST_F(WindowTest, UnwritableSettingsFileIsReported)
{
    // Neither beside the program nor in a config folder under a plain file.
    WriteFile(dir.path() + QStringLiteral("/plainfile"), "x");
    qputenv("XDG_CONFIG_HOME", (dir.path() + QStringLiteral("/plainfile/config")).toLocal8Bit());
    platform::SetProgramPathForTesting(dir.path() + QStringLiteral("/missing/folder/qv750"));
    Create();
    form->close();
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_TRUE(Boxes()[0].contains(QStringLiteral("qv750.ini")));
    EXPECT_EQ(fakes.ui.boxes[0].caption, QStringLiteral("Error"));
}

TEST_F(WindowTest, ProgressFollowsTheStatusBarWidth)
{
    Create();
    form->show();
    for (int width : {700, 500, 900}) {
        form->resize(width, 400);
        QApplication::processEvents();
        EXPECT_EQ(form->Progress->x(), 317);
        EXPECT_EQ(form->Progress->width(), form->StatusBar1->width() - 315);
        EXPECT_EQ(form->Progress->y(), 2);
        EXPECT_EQ(form->Progress->height(), 30);
    }
    EXPECT_EQ(form->StatusBar1->width(), form->centralWidget()->width());
}

TEST_F(WindowTest, LogNewestFirstAndCompletedLines)
{
    Create();
    form->AddLogLine(QStringLiteral("one"));
    form->AddLogCompleted(QStringLiteral("读出操作完成！"));
    const QString stamp = platform::NowText();
    ASSERT_FALSE(stamp.isEmpty());
    EXPECT_EQ(Log(), (QStringList{QStringLiteral("读出操作完成！ (") + stamp + u')', "one"}));
    EXPECT_TRUE(form->RichEdit1->toPlainText().startsWith(QStringLiteral("读出操作完成！")));
    EXPECT_TRUE(form->RichEdit1->NewestLineIs(QStringLiteral("读出操作完成！ (") + stamp + u')'));
    form->AddLogLine(QStringLiteral("Line A"));
    EXPECT_TRUE(form->RichEdit1->NewestLineIs(QStringLiteral("LINE a")));
    EXPECT_FALSE(form->RichEdit1->NewestLineIs(QStringLiteral("one")));
}

TEST_F(WindowTest, ElapsedTimeFormat)
{
    Create();
    form->StartTime = 1000;
    form->EndTime = 1000 + (3600 + 2 * 60 + 5) * 1000 + 999;
    form->ShowElapsedTime();
    EXPECT_EQ(form->StatusPanel(3), QStringLiteral("01:02:05"));
    form->EndTime = 1000 + 25LL * 3600 * 1000;
    form->ShowElapsedTime();
    EXPECT_EQ(form->StatusPanel(3), QStringLiteral("01:00:00")) << "hours wrap at a day";
}

TEST_F(WindowTest, AboutBox)
{
    Create();
    form->N11->trigger();
    ASSERT_EQ(fakes.ui.boxes.size(), 1u);
    const auto& box = fakes.ui.boxes[0];
    EXPECT_EQ(box.caption, QStringLiteral("关于"));
    EXPECT_EQ(box.icon, platform::MsgIcon::Information);
    EXPECT_TRUE(box.text.startsWith(QStringLiteral("Travik  (Ver 1.0)\n\n编译时间 : 10:20:14 , May 17 2014\n\n")));
    const QStringList rest = box.text.mid(box.text.indexOf(QStringLiteral("2014\n\n")) + 6).split(u'\n');
    // Two lines, an empty one between them, a final line break.
    ASSERT_EQ(rest.size(), 4);
    EXPECT_FALSE(rest[0].isEmpty());
    EXPECT_TRUE(rest[1].isEmpty());
    EXPECT_FALSE(rest[2].isEmpty());
    EXPECT_TRUE(rest[3].isEmpty());
}

TEST_F(WindowTest, ExitClosesAndHandlersNeverThrowOut)
{
    Create();
    form->show();
    form->Timer1->start(1);
    form->Timer1Timer();
    EXPECT_FALSE(form->Timer1->isActive());
    form->Update1->trigger();
    EXPECT_TRUE(Boxes().empty());
    form->BitBtn5->click();
    EXPECT_FALSE(form->isVisible());
    EXPECT_TRUE(QFile::exists(IniPath()));
}

TEST_F(WindowTest, HexViewShowsTheStream)
{
    Create();
    platform::TMemoryStream stream;
    const QByteArray bytes("ABC\x00\xFF", 5);
    stream.WriteBuffer(bytes.constData(), bytes.size());
    form->FlashEditor->LoadFromStream(stream);
    EXPECT_EQ(form->FlashEditor->DataSize(), 5);
    EXPECT_EQ(form->FlashEditor->AsText().toLatin1(), bytes);
    QByteArray read(5, '\0');
    form->FlashEditor->ReadBuffer(read.data(), 0, 5);
    EXPECT_EQ(read, bytes);
    // One data row below the ruler and the empty fixed row.
    EXPECT_EQ(form->FlashEditor->RowCount(), 3);
    EXPECT_EQ(form->FlashEditor->Col(), 2);
    EXPECT_EQ(form->FlashEditor->Row(), 2);
    // 300 bytes fill 19 rows of 16.
    stream.Clear();
    const QByteArray more(300, '\x5A');
    stream.WriteBuffer(more.constData(), more.size());
    form->FlashEditor->LoadFromStream(stream);
    EXPECT_EQ(form->FlashEditor->DataSize(), 300);
    EXPECT_EQ(form->FlashEditor->RowCount(), 19 + 2);
    EXPECT_EQ(form->FlashEditor->AsText().toLatin1(), more);
    stream.Clear();
    form->FlashEditor->LoadFromStream(stream);
    EXPECT_EQ(form->FlashEditor->DataSize(), 0);
    EXPECT_EQ(form->FlashEditor->RowCount(), 3);
    EXPECT_TRUE(form->FlashEditor->AsText().isEmpty());
}

TEST_F(WindowTest, HexViewCarriesTheFormSettings)
{
    Create();
    TWQHexEditorEx* ed = form->FlashEditor;
    EXPECT_EQ(ed->BytesPerRow(), 16);
    EXPECT_EQ(ed->ColCount(), 51);
    EXPECT_EQ(ed->Translation(), tkAsIs);
    EXPECT_EQ(ed->OffsetFormat(), QStringLiteral("-!10:0x|"));
    EXPECT_TRUE(ed->FocusFrame());
    EXPECT_FALSE(ed->DrawGridLines());
    EXPECT_TRUE(ed->ShowRuler());
    EXPECT_TRUE(ed->ShowPositionIfNotFocused());
    EXPECT_EQ(ed->font().pixelSize(), 15);
    const QFontMetrics fm(ed->font());
    EXPECT_EQ(fm.horizontalAdvance(QStringLiteral("iiii")), fm.horizontalAdvance(QStringLiteral("WWWW")));
    EXPECT_EQ(ed->Colors().Background(), clWindow);
    EXPECT_EQ(ed->Colors().OddColumn(), clBlue);
    EXPECT_EQ(ed->Colors().EvenColumn(), clNavy);
    // The first data lays the columns out, with the ruler row showing.
    platform::TMemoryStream stream;
    stream.WriteBuffer("\x01\x02", 2);
    ed->LoadFromStream(stream);
    EXPECT_GT(ed->CharWidth(), 0);
    EXPECT_EQ(ed->ColWidths(2), ed->CharWidth());
    EXPECT_EQ(ed->ColWidths(33), 2 * ed->CharWidth());
    EXPECT_EQ(ed->RowHeights(0), ed->DefaultRowHeight() + 3);
    EXPECT_EQ(ed->parentWidget(), form->Splitter1);
    EXPECT_EQ(ed->BackupExtension(), QStringLiteral(".bak"));
    EXPECT_EQ(ed->PrintOptions().MarginLeft(), 20);
    EXPECT_EQ(ed->PrintOptions().MarginTop(), 15);
    EXPECT_EQ(ed->PrintOptions().MarginRight(), 25);
    EXPECT_EQ(ed->PrintOptions().MarginBottom(), 25);
    EXPECT_EQ(ed->PrintOptions().Flags(), WQHPrintFlagBit(pfSelectionBold) | WQHPrintFlagBit(pfMonochrome));
    EXPECT_EQ(ed->PrintFont().Name, QStringLiteral("Courier New"));
    EXPECT_EQ(ed->PrintFont().Height, -15);
    EXPECT_TRUE(ed->UseEditorFontForPrinting());
}

TEST_F(WindowTest, HexViewAnswersCtrlShortcutsAndWheelZoom)
{
    Create();
    form->show();
    TWQHexEditorEx* ed = form->FlashEditor;
    platform::TMemoryStream stream;
    stream.WriteBuffer("\x01\x02\x03\x04", 4);
    ed->LoadFromStream(stream);
    auto key = [ed](int k, Qt::KeyboardModifiers mods) {
        QKeyEvent press(QEvent::KeyPress, k, mods);
        QApplication::sendEvent(ed, &press);
    };
    key(Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(ed->SelStart(), 0);
    EXPECT_EQ(ed->SelEnd(), 3);
    const std::uint8_t b = 0x55;
    ed->Replace(&b, 1, 1, 1, QString(), false);
    ASSERT_TRUE(ed->CanUndo());
    key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(ed->GetDataAt(1), 0x02);
    key(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(ed->GetDataAt(1), 0x55);
    auto wheel = [ed](int delta, Qt::KeyboardModifiers mods) {
        QWheelEvent w(QPointF(10, 10), QPointF(10, 10), QPoint(), QPoint(0, delta), Qt::NoButton, mods,
                      Qt::NoScrollPhase, false);
        QApplication::sendEvent(ed->viewport(), &w);
    };
    wheel(120, Qt::ControlModifier);
    EXPECT_EQ(ed->BytesPerRow(), 17);
    wheel(-120, Qt::ControlModifier);
    wheel(-120, Qt::ControlModifier);
    EXPECT_EQ(ed->BytesPerRow(), 15);
    const int px = ed->font().pixelSize();
    wheel(120, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_GT(ed->font().pixelSize(), px);
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(WindowTest, OwnerDrawnPanelTextSitsLeftOfTheCentreInRed)
{
    Create();
    // Leftmost red column and topmost red row the handler paints for a panel
    // rectangle, on a white canvas it must leave alone elsewhere.
    struct Ink {
        int left = -1, top = -1;
        bool otherColours = false;
    };
    auto paint = [this](const QRect& rect) {
        QImage image(1200, 40, QImage::Format_ARGB32);
        image.fill(Qt::white);
        {
            QPainter painter(&image);
            form->StatusBar1DrawPanel(painter, 4, rect);
        }
        Ink ink;
        for (int x = 0; x < image.width(); ++x)
            for (int y = 0; y < image.height(); ++y) {
                const QColor c = image.pixelColor(x, y);
                if (c == Qt::white)
                    continue;
                // Anti-aliased red over white: green and blue stay equal, red stays full.
                if (c.red() != 255 || c.green() != c.blue())
                    ink.otherColours = true;
                if (ink.left < 0)
                    ink.left = x;
                if (ink.top < 0 || y < ink.top)
                    ink.top = y;
            }
        return ink;
    };
    // Rectangles as the status bar gives them: right edge inclusive.
    const Ink narrow = paint(QRect(QPoint(315, 0), QPoint(776 - 1, 31)));
    const Ink wide = paint(QRect(QPoint(315, 0), QPoint(975 - 1, 31)));
    const Ink odd = paint(QRect(QPoint(315, 0), QPoint(976 - 1, 31)));
    const Ink lower = paint(QRect(QPoint(315, 6), QPoint(776 - 1, 37)));
    ASSERT_GE(narrow.left, 0) << "the panel text is drawn";
    EXPECT_FALSE(narrow.otherColours) << "red text, no background fill";
    // x = (left + right) / 2 - 120 with an exclusive right edge: (315 + 776) / 2 - 120 = 425.
    EXPECT_GE(narrow.left, 425);
    EXPECT_LE(narrow.left, 425 + 3) << "only the first glyph's bearing";
    EXPECT_EQ(wide.left - narrow.left, 100) << "199 pixels wider: (315 + 975) / 2 - 120 = 525";
    EXPECT_EQ(odd.left, wide.left) << "the division truncates";
    EXPECT_EQ(lower.top - narrow.top, 6) << "y follows the rectangle's top";
    EXPECT_GE(narrow.top, 1);
}

TEST_F(WindowTest, LogPaneKeepsItsDesignedHeight)
{
    Create();
    form->show();
    QApplication::processEvents();
    EXPECT_EQ(form->RichEdit1->height(), 87);
    EXPECT_EQ(form->Splitter1->handleWidth(), 3);
    form->resize(900, 700);
    QApplication::processEvents();
    EXPECT_EQ(form->RichEdit1->height(), 87) << "the hex view takes the extra height";
}

TEST_F(WindowTest, SavedPlacementIsAppliedAsStoredUnlessOnNoScreen)
{
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    const QPoint home = screen.topLeft() + QPoint(10, 10);
    const struct {
        int left, top;
        QPoint expected;
    } cases[] = {
        {-8, -5, screen.topLeft() + QPoint(-8, -5)},          // hangs over the corner: stays
        {screen.right() - 20, screen.bottom() - 20, screen.bottomRight() - QPoint(20, 20)}, // a corner still shows
        {screen.left() - 700, screen.top() + 5, home},          // ends just left of the screen
        {screen.right() + 1, screen.top() + 5, home},           // starts just right of it
        {screen.left() + 5, screen.top() - 500, home},          // just above
        {screen.left() + 5, screen.bottom() + 1, home},         // just below
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.left << "," << c.top);
        WriteFile(IniPath(), QStringLiteral("[Environment]\nFormTop=%1\nFormLeft=%2\nFormHeight=500\nFormWidth=700\n")
                                 .arg(c.top)
                                 .arg(c.left)
                                 .toLatin1());
        Create();
        EXPECT_EQ(form->pos(), c.expected);
        EXPECT_EQ(form->size(), QSize(700, 500));
    }
    // As stored, it is also written back as stored.
    WriteFile(IniPath(), "[Environment]\nFormTop=-5\nFormLeft=-8\n");
    Create();
    form->close();
    platform::TIniFile back(IniPath());
    EXPECT_EQ(back.ReadInteger("Environment", "FormLeft", 0), screen.left() - 8);
    EXPECT_EQ(back.ReadInteger("Environment", "FormTop", 0), screen.top() - 5);
}

TEST_F(WindowTest, AbsurdSavedGeometryStaysUsable)
{
    WriteFile(IniPath(), "[Environment]\nFormTop=0x7FFFFFFF\nFormLeft=-2147483648\nFormHeight=0x7FFFFFFF\n"
                         "FormWidth=999999999\n");
    Create();
    const QRect desktop = QGuiApplication::primaryScreen()->virtualGeometry();
    EXPECT_LE(form->width(), desktop.width());
    EXPECT_LE(form->height(), desktop.height());
    EXPECT_TRUE(desktop.contains(form->pos())) << "the corner stays on the desktop";
    form->show();
    QApplication::processEvents();
    EXPECT_TRUE(form->isVisible());
}

TEST_F(WindowTest, CommandColumnRunsTopToBottomWithItsCheckBoxes)
{
    Create();
    form->show();
    QApplication::processEvents();
    auto top = [this](QWidget* w) { return w->mapTo(form->Panel2, QPoint(0, 0)).y(); };
    const QList<QWidget*> column = {form->ComboBox1, form->Label1, form->BitBtn6, form->BitBtn2, form->BitBtn8,
                                    form->BitBtn3,   form->BitBtn9, form->BitBtn7, form->BitBtn5};
    for (qsizetype i = 1; i < column.size(); ++i)
        EXPECT_LT(top(column[i - 1]), top(column[i])) << column[i]->objectName().toStdString();
    // Each check box sits on the row of its button.
    const std::pair<QWidget*, QWidget*> rows[] = {{form->BitBtn6, form->CheckBox4}, {form->BitBtn8, form->CheckBox1},
                                                  {form->BitBtn3, form->CheckBox2}, {form->BitBtn9, form->CheckBox3}};
    for (const auto& [button, box] : rows) {
        EXPECT_TRUE(box->isVisible()) << box->objectName().toStdString();
        const int middle = top(button) + button->height() / 2;
        EXPECT_GE(middle, top(box)) << box->objectName().toStdString();
        EXPECT_LE(middle, top(box) + box->height()) << box->objectName().toStdString();
        EXPECT_GT(box->mapTo(form->Panel2, QPoint(0, 0)).x(), button->mapTo(form->Panel2, QPoint(0, 0)).x());
    }
    for (QWidget* hidden : {static_cast<QWidget*>(form->ComboBox2), static_cast<QWidget*>(form->Label2),
                            static_cast<QWidget*>(form->BitBtn10)})
        EXPECT_FALSE(hidden->isVisible()) << hidden->objectName().toStdString();
}

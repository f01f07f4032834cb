#include "platform/exceptions.h"
#include "platform/seams.h"
#include "tests/support/fakes.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QListView>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimeZone>
#include <QTimer>
#include <gtest/gtest.h>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>
#include <stdexcept>

namespace {

TEST(DateTimeToStr, LocaleShortDateAndLongTimeWithoutZone)
{
    const QDateTime when(QDate(2026, 12, 8), QTime(10, 20, 14));
    const QString text = platform::DateTimeToStr(when);
    const QLocale locale = QLocale::system();
    EXPECT_TRUE(text.startsWith(locale.toString(when.date(), QLocale::ShortFormat) + u' '))
        << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("20:14"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("10")) || text.contains(QStringLiteral("AM")))
        << text.toStdString();
    // No time zone: neither its abbreviation nor its name.
    const QDateTime zoned = when.toLocalTime();
    for (const QString& zone : {zoned.timeZoneAbbreviation(), zoned.timeZone().displayName(zoned)}) {
        if (!zone.isEmpty()) {
            EXPECT_FALSE(text.contains(zone)) << text.toStdString() << " has " << zone.toStdString();
        }
    }
    EXPECT_FALSE(text.endsWith(u' '));
}

TEST(DateTimeToStr, ZoneIsDroppedInEveryLocale)
{
    const QDateTime when(QDate(2026, 1, 2), QTime(13, 24, 35));
    const QString zone = when.timeZoneAbbreviation();
    for (const char* name : {"C", "en_US", "en_GB", "de_DE", "zh_CN", "fr_CA", "pt_PT", "ja_JP", "ko_KR"}) {
        const QLocale locale(QString::fromLatin1(name));
        const QString text = platform::DateTimeToStr(when, locale);
        SCOPED_TRACE(std::string(name) + ": " + text.toStdString() + " from "
                     + locale.timeFormat(QLocale::LongFormat).toStdString());
        EXPECT_TRUE(text.startsWith(locale.toString(when.date(), QLocale::ShortFormat) + u' '));
        EXPECT_TRUE(text.contains(QStringLiteral("24")));
        EXPECT_TRUE(text.contains(QStringLiteral("35")));
        EXPECT_FALSE(text.endsWith(u' '));
        if (!zone.isEmpty()) {
            EXPECT_FALSE(text.contains(zone));
        }
        // Literal text of the format stays; only the zone goes.
        const QString format = locale.timeFormat(QLocale::LongFormat);
        if (format.contains(QStringLiteral("'h'"))) {
            EXPECT_TRUE(text.contains(u'h'));
        }
    }
}

TEST(Seams, NowTextUsesTheInstalledClock)
{
    testsupport::ScopedPlatformFakes fakes;
    fakes.clock.current = QDateTime(QDate(2026, 12, 8), QTime(10, 20, 14));
    EXPECT_EQ(platform::NowText(), platform::DateTimeToStr(fakes.clock.current));
    platform::Sleep(50);
    platform::Beep();
    platform::ProcessMessages();
    EXPECT_EQ(fakes.system.sleeps, std::vector<int>({50}));
    EXPECT_EQ(fakes.system.beeps, 1);
    EXPECT_EQ(fakes.system.pumps, 1);
    EXPECT_EQ(platform::MessageBox("t", "Info", platform::MsgIcon::Question, platform::MsgButtons::YesNo),
              platform::MsgResult::Yes);
    ASSERT_EQ(fakes.ui.boxes.size(), 1u);
    EXPECT_EQ(fakes.ui.boxes[0].caption, "Info");
}

// Presses a button of the next message box that opens.
void pressLater(QMessageBox::StandardButton which)
{
    QTimer::singleShot(0, [which] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) {
            pressLater(which);
            return;
        }
        box->button(which)->click();
    });
}

TEST(QtMessageBox, ReportsTheButtonPressed)
{
    struct Case {
        platform::MsgButtons buttons;
        QMessageBox::StandardButton press;
        platform::MsgResult expected;
    };
    const Case cases[] = {
        {platform::MsgButtons::Ok, QMessageBox::Ok, platform::MsgResult::Ok},
        {platform::MsgButtons::OkCancel, QMessageBox::Ok, platform::MsgResult::Ok},
        {platform::MsgButtons::OkCancel, QMessageBox::Cancel, platform::MsgResult::Cancel},
        {platform::MsgButtons::YesNo, QMessageBox::Yes, platform::MsgResult::Yes},
        {platform::MsgButtons::YesNo, QMessageBox::No, platform::MsgResult::No},
        {platform::MsgButtons::YesNoCancel, QMessageBox::Cancel, platform::MsgResult::Cancel},
    };
    for (const Case& c : cases) {
        pressLater(c.press);
        EXPECT_EQ(platform::MessageBox("text", "Info", platform::MsgIcon::Question, c.buttons), c.expected);
    }
}

// The files (not folders) the open dialog's list shows.
QStringList ListedFiles(QFileDialog* dialog)
{
    auto* view = dialog->findChild<QListView*>(QStringLiteral("listView"));
    auto* model = view ? qobject_cast<QFileSystemModel*>(view->model()) : nullptr;
    if (model == nullptr)
        return {QStringLiteral("<no list>")};
    QStringList names;
    const QModelIndex root = view->rootIndex();
    for (int row = 0; row < model->rowCount(root); ++row) {
        const QModelIndex index = model->index(row, 0, root);
        if (!model->isDir(index))
            names << model->fileName(index);
    }
    names.sort();
    return names;
}

// The list fills in the background: wait until it shows what is expected,
// or give up and keep what it shows then.
QStringList WaitForListing(QFileDialog* dialog, const QStringList& expected)
{
    QDeadlineTimer deadline(3000);
    QStringList names = ListedFiles(dialog);
    while (names != expected && !deadline.hasExpired()) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        names = ListedFiles(dialog);
    }
    return names;
}

// The real (non-native, offscreen) open dialog: each filter lists what its
// patterns match, and "*.*" lists every file, those without a dot too.
TEST(QtFileDialog, OpenListsWhatEachFilterMatches)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (const char* name : {"dump", "a.bin"}) {
        QFile f(dir.filePath(QString::fromLatin1(name)));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("x");
    }
    const QString binary = QStringLiteral("Binary (*.bin)"), hex = QStringLiteral("Intel Hex(*.hex)"),
                  rom = QStringLiteral("Bios Rom (*.rom)"), all = QStringLiteral("All files (*.*)");
    platform::FileDialogOptions options;
    options.filter = binary + QStringLiteral("|*.bin|") + hex + QStringLiteral("|*.hex|") + rom
                     + QStringLiteral("|*.rom|") + all + QStringLiteral("|*.*");
    options.defaultExt = QStringLiteral("*.bin");

    QStringList shownFilters, warnings;
    std::vector<std::string> listed; // "filter: names"
    const auto entry = [](const QString& filter, const QStringList& names) {
        return (filter + QStringLiteral(": ") + names.join(u' ')).toStdString();
    };
    std::function<void()> act = [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog) {
            QTimer::singleShot(10, act);
            return;
        }
        auto* combo = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
        if (combo)
            for (int i = 0; i < combo->count(); ++i)
                shownFilters << combo->itemText(i);
        dialog->setDirectory(dir.path());
        listed.push_back(entry(binary, WaitForListing(dialog, {QStringLiteral("a.bin")})));
        const std::pair<QString, QStringList> steps[] = {
            {hex, {}}, {all, {QStringLiteral("a.bin"), QStringLiteral("dump")}}};
        for (const auto& [filter, expected] : steps) {
            // As the user picks it from the list of filters.
            const int index = combo ? combo->findText(filter) : -1;
            if (index >= 0) {
                combo->setCurrentIndex(index);
                emit combo->activated(index);
            }
            listed.push_back(entry(filter, WaitForListing(dialog, expected)));
        }
        // The file without a dot, picked from the list under "*.*", opens as itself.
        auto* view = dialog->findChild<QListView*>(QStringLiteral("listView"));
        auto* model = view ? qobject_cast<QFileSystemModel*>(view->model()) : nullptr;
        if (model)
            view->setCurrentIndex(model->index(dir.filePath(QStringLiteral("dump"))));
        // A refusal would come as a warning box inside accept(): note and close it.
        QTimer::singleShot(200, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                warnings << box->text();
                box->done(QMessageBox::Ok);
            }
        });
        if (auto* buttons = dialog->findChild<QDialogButtonBox*>(QStringLiteral("buttonBox")))
            if (QPushButton* open = buttons->button(QDialogButtonBox::Open))
                open->click();
        if (QApplication::activeModalWidget() == dialog)
            dialog->reject();
    };
    QTimer::singleShot(0, act);
    const std::optional<QString> chosen = platform::ui().openFileName(options);

    EXPECT_EQ(shownFilters, (QStringList{binary, hex, rom, all})) << "the texts stay as given";
    EXPECT_EQ(listed, (std::vector<std::string>{"Binary (*.bin): a.bin", "Intel Hex(*.hex): ",
                                                "All files (*.*): a.bin dump"}));
    EXPECT_EQ(chosen.value_or(QStringLiteral("<cancelled>")).toStdString(),
              dir.filePath(QStringLiteral("dump")).toStdString());
    EXPECT_EQ(warnings.join(u'|').toStdString(), "");
}

TEST(HandleException, ShowsOurMessagesAndEmptyTextForOthers)
{
    testsupport::ScopedPlatformFakes fakes;
    platform::Guarded([] { throw platform::EConvertError("'x' is not a valid integer value"); });
    platform::Guarded([] { throw std::runtime_error("not ours"); });
    platform::Guarded([] { throw 42; });
    platform::Guarded([] {});
    try {
        throw platform::EFOpenError("Cannot open file \"/x\". No such file or directory");
    } catch (...) {
        platform::HandleException();
    }
    // Called with nothing in flight it still shows an empty box instead of ending the program.
    platform::HandleException();
    EXPECT_EQ(fakes.ui.exceptions,
              std::vector<QString>({"'x' is not a valid integer value", "", "",
                                    "Cannot open file \"/x\". No such file or directory", ""}));
}

TEST(HandleException, ExceptionCarriesMessageAsUtf8)
{
    const platform::Exception e(QStringLiteral("芯片"));
    EXPECT_EQ(QString::fromUtf8(e.what()), QStringLiteral("芯片"));
    EXPECT_EQ(e.Message(), QStringLiteral("芯片"));
}

} // namespace

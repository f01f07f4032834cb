#include "platform/exceptions.h"
#include "platform/seams.h"
#include "tests/support/fakes.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLocale>
#include <QMessageBox>
#include <QTimeZone>
#include <QTimer>
#include <gtest/gtest.h>
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

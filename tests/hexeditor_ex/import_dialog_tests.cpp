// The format choice dialog and the choice around it.
#include "hexeditor/ex/wqhformatseldialog.h"

#include <QCheckBox>
#include <QListWidget>
#include <QPushButton>
#include <gtest/gtest.h>

using namespace wqhimport;

namespace {

struct Seen {
    QStringList entries;
    int selected = -2;
    bool okEnabled = false;
    bool checkEnabled = false;
    bool checked = false;
    QString title;
    QSize size;
    QRect ok, cancel, check, list;
};

// Records the dialog as shown, lets the test act on it, then answers.
class ScriptedDialog {
public:
    explicit ScriptedDialog(int answer, std::function<void(TFormatSelDialog&)> act = {})
    {
        SetFormatSelDialogRunner([this, answer, act](QDialog& d) {
            auto& f = static_cast<TFormatSelDialog&>(d);
            ++runs;
            for (int i = 0; i < f.LlbxFormats->count(); ++i)
                seen.entries << f.LlbxFormats->item(i)->text();
            seen.selected = f.SelectedFormat();
            seen.okEnabled = f.LbtnOK->isEnabled();
            seen.checkEnabled = f.LcbxTextAsHex->isEnabled();
            seen.checked = f.LcbxTextAsHex->isChecked();
            seen.title = f.windowTitle();
            seen.size = f.size();
            seen.ok = f.LbtnOK->geometry();
            seen.cancel = f.LbtnCancel->geometry();
            seen.check = f.LcbxTextAsHex->geometry();
            seen.list = f.LlbxFormats->geometry();
            if (act)
                act(f);
            return answer;
        });
    }
    ~ScriptedDialog() { SetFormatSelDialogRunner({}); }
    Seen seen;
    int runs = 0;
};

QString Namer(TClipFormat cf)
{
    if (cf == 0xC002)
        return QStringLiteral("  Rich Text Format ");
    return QString();
}

class ImportDialog : public ::testing::Test {
protected:
    void SetUp() override { SetLastSelectedFormat(-1); }
    void TearDown() override { SetLastSelectedFormat(-1); }
};

} // namespace

TEST_F(ImportDialog, CaptionsOfStandardRegisteredAndUnnamedFormats)
{
    EXPECT_EQ(FormatCaption(CF_TEXT, Namer), QStringLiteral("Text"));
    EXPECT_EQ(FormatCaption(CF_PALETTE, Namer), QStringLiteral("Color Palete"));
    EXPECT_EQ(FormatCaption(CF_LOCALE, Namer), QStringLiteral("Text Locale"));
    EXPECT_EQ(FormatCaption(0xC002, Namer), QStringLiteral("Rich Text Format"));
    EXPECT_EQ(FormatCaption(0xC00F, Namer), QStringLiteral("(49167)"));
    EXPECT_EQ(FormatCaption(0xC00F, {}), QStringLiteral("(49167)"));
}

TEST_F(ImportDialog, OneOfferedFormatNeedsNoDialogNoneFails)
{
    ScriptedDialog d(QDialog::Accepted);
    bool hex = false;
    TClipFormat cf = 0;
    const TClipFormats accepted{0xC000, CF_HDROP, CF_TEXT, CF_UNICODETEXT};
    EXPECT_FALSE(ChooseOLEFormat(accepted, {0xC004}, hex, cf, Namer));
    EXPECT_TRUE(ChooseOLEFormat(accepted, {0xC004, CF_UNICODETEXT}, hex, cf, Namer));
    EXPECT_EQ(cf, CF_UNICODETEXT);
    EXPECT_EQ(d.runs, 0);
}

TEST_F(ImportDialog, ListsOfferedFormatsInPriorityAndLaysOutItsControls)
{
    ScriptedDialog d(QDialog::Accepted);
    bool hex = true;
    TClipFormat cf = 0;
    ASSERT_TRUE(ChooseOLEFormat({CF_TEXT, 0xC002, CF_UNICODETEXT}, {CF_UNICODETEXT, 0xC002, CF_TEXT}, hex, cf, Namer));
    EXPECT_EQ(d.runs, 1);
    EXPECT_EQ(d.seen.entries,
              (QStringList{QStringLiteral("Text"), QStringLiteral("Rich Text Format"), QStringLiteral("Unicode Text")}));
    EXPECT_EQ(d.seen.title, QStringLiteral("Select data format"));
    EXPECT_TRUE(d.seen.okEnabled);
    EXPECT_TRUE(d.seen.checked); // from ClipboardAsHexText
    const int w = d.seen.size.width();
    const int h = d.seen.size.height();
    EXPECT_EQ(d.seen.ok.left(), 16);
    EXPECT_EQ(d.seen.ok.top(), h - d.seen.ok.height() - 8);
    EXPECT_EQ(d.seen.cancel.left(), w - d.seen.cancel.width() - 16);
    EXPECT_EQ(d.seen.cancel.top(), d.seen.ok.top());
    EXPECT_EQ(d.seen.check.left(), 16);
    EXPECT_EQ(d.seen.check.top(), d.seen.cancel.top() - d.seen.check.height() - 8);
    EXPECT_EQ(d.seen.check.width(), w - 16);
    EXPECT_EQ(d.seen.list.top(), 0);
    EXPECT_EQ(d.seen.list.width(), w);
    EXPECT_EQ(d.seen.list.height(), h - d.seen.cancel.height() - d.seen.check.height() - 24);
}

TEST_F(ImportDialog, PreselectsTheLastChoiceAndEnablesHexOnlyForEightBitText)
{
    bool hex = false;
    TClipFormat cf = 0;
    {
        ScriptedDialog d(QDialog::Accepted);
        ASSERT_TRUE(ShowFormatSelDialog({CF_TEXT, CF_UNICODETEXT}, cf, hex, Namer));
        EXPECT_EQ(d.seen.selected, CF_TEXT); // nothing chosen before: the first
        EXPECT_TRUE(d.seen.checkEnabled);
    }
    SetLastSelectedFormat(CF_UNICODETEXT);
    {
        ScriptedDialog d(QDialog::Accepted);
        ASSERT_TRUE(ShowFormatSelDialog({CF_TEXT, CF_UNICODETEXT}, cf, hex, Namer));
        EXPECT_EQ(d.seen.selected, CF_UNICODETEXT);
        EXPECT_FALSE(d.seen.checkEnabled);
    }
    {
        ScriptedDialog d(QDialog::Accepted, [](TFormatSelDialog& f) {
            f.LlbxFormats->setCurrentRow(0);
            f.LlbxFormatsClick();
            EXPECT_TRUE(f.LcbxTextAsHex->isEnabled());
            f.LlbxFormats->setCurrentRow(1);
            f.LlbxFormatsClick();
            EXPECT_FALSE(f.LcbxTextAsHex->isEnabled());
        });
        ASSERT_TRUE(ShowFormatSelDialog({CF_OEMTEXT, CF_DIB}, cf, hex, Namer));
        EXPECT_EQ(cf, CF_DIB);
    }
}

TEST_F(ImportDialog, OkTakesTheChoiceAndTheHexBoxForText)
{
    bool hex = false;
    TClipFormat cf = 0;
    ScriptedDialog d(QDialog::Accepted, [](TFormatSelDialog& f) { f.LcbxTextAsHex->setChecked(true); });
    ASSERT_TRUE(ShowFormatSelDialog({CF_TEXT, CF_UNICODETEXT}, cf, hex, Namer));
    EXPECT_EQ(cf, CF_TEXT);
    EXPECT_TRUE(hex);
    EXPECT_EQ(LastSelectedFormat(), CF_TEXT);
}

TEST_F(ImportDialog, HexBoxIsLeftAloneForOtherFormats)
{
    bool hex = true;
    TClipFormat cf = 0;
    ScriptedDialog d(QDialog::Accepted, [](TFormatSelDialog& f) { f.LcbxTextAsHex->setChecked(false); });
    SetLastSelectedFormat(CF_UNICODETEXT);
    ASSERT_TRUE(ShowFormatSelDialog({CF_TEXT, CF_UNICODETEXT}, cf, hex, Namer));
    EXPECT_EQ(cf, CF_UNICODETEXT);
    EXPECT_TRUE(hex);
}

TEST_F(ImportDialog, CancelOrNoSelectionChangesNothing)
{
    bool hex = false;
    TClipFormat cf = 77;
    {
        ScriptedDialog d(QDialog::Rejected, [](TFormatSelDialog& f) { f.LcbxTextAsHex->setChecked(true); });
        EXPECT_FALSE(ShowFormatSelDialog({CF_TEXT, CF_UNICODETEXT}, cf, hex, Namer));
    }
    {
        ScriptedDialog d(QDialog::Accepted, [](TFormatSelDialog& f) { f.LlbxFormats->clearSelection(); });
        EXPECT_FALSE(ShowFormatSelDialog({CF_TEXT, CF_UNICODETEXT}, cf, hex, Namer));
    }
    EXPECT_EQ(cf, 77);
    EXPECT_FALSE(hex);
    EXPECT_EQ(LastSelectedFormat(), -1);
}

TEST_F(ImportDialog, DoubleClickClosesWithOkAndOkStartsDisabled)
{
    TFormatSelDialog f;
    EXPECT_FALSE(f.LbtnOK->isEnabled());
    EXPECT_FALSE(f.LcbxTextAsHex->isEnabled());
    EXPECT_TRUE(f.LbtnOK->isDefault());
    EXPECT_EQ(f.LbtnOK->text(), QStringLiteral("OK"));
    EXPECT_EQ(f.LbtnCancel->text(), QStringLiteral("Cancel"));
    EXPECT_EQ(f.LcbxTextAsHex->text(), QStringLiteral("Hex text"));
    f.AddFormat(QStringLiteral("Text"), CF_TEXT);
    EXPECT_TRUE(f.LbtnOK->isEnabled());
    f.LlbxFormatsDblClick();
    EXPECT_EQ(f.result(), QDialog::Accepted);
}

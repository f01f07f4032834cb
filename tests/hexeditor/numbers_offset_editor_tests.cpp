// The control's offset gutter: format changes, offset texts, the host's
// offset handler and the gutter width.
#include "hexeditor/wqhexeditor.h"
#include "hexeditor/wqhstrings.h"
#include "platform/streams.h"
#include "support/fakes.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>

namespace {

class TTestEditor : public TCustomWQHexEditor {
public:
    using TCustomWQHexEditor::FOffsetHandler;
};

class OffsetEditor : public ::testing::Test {
protected:
    void SetUp() override { ed = std::make_unique<TTestEditor>(); }
    void Load(int size)
    {
        QByteArray data(size, 'a');
        platform::TMemoryStream s;
        s.Write(data.constData(), data.size());
        s.Seek(0, platform::SeekOrigin::Begin);
        ed->LoadFromStream(s);
    }
    // The offset of the row after the last data row.
    std::uint32_t MaxOffset() const { return std::uint32_t(ed->RowCount() - 3) * ed->BytesPerRow(); }
    QString SetFormatError(const QString& t)
    {
        try {
            ed->SetOffsetFormat(t);
        } catch (const EWQHexEditor& e) {
            return e.Message();
        }
        return QStringLiteral("<accepted>");
    }

    testsupport::ScopedPlatformFakes fakes;
    std::unique_ptr<TTestEditor> ed;
};

TEST_F(OffsetEditor, DefaultFormatPadsToTheLargestOffset)
{
    Load(0x1240 + 16);
    ASSERT_EQ(MaxOffset(), 0x1240u);
    EXPECT_EQ(ed->OffsetFormat(), "-!10:0x|");
    EXPECT_EQ(ed->GetOffsetString(0), "0x0000");
    EXPECT_EQ(ed->GetOffsetString(0x10), "0x0010");
    EXPECT_EQ(ed->GetOffsetString(0x1240), "0x1240");
    EXPECT_EQ(ed->OffsetDisplayWidth(), 7);
    EXPECT_EQ(ed->ColWidths(0), 7 * ed->CharWidth() + 21);
    ed->SetHexLowerCase(true);
    EXPECT_EQ(ed->GetOffsetString(0x1F0), "0x01f0");
    ed->SetHexLowerCase(false);
    EXPECT_EQ(ed->GetOffsetString(0x1F0), "0x01F0");
}

TEST_F(OffsetEditor, DecimalWidthFollowsTheData)
{
    Load(100 * 16 + 16);
    ASSERT_EQ(MaxOffset(), 1600u);
    ed->SetOffsetFormat("-!A:|");
    EXPECT_EQ(ed->GetOffsetString(16), "0016");
    ed->SetOffsetFormat("10:0x|");
    EXPECT_EQ(ed->GetOffsetString(16), "0x10");
    EXPECT_EQ(ed->OffsetDisplayWidth(), int(QStringLiteral("0x640").size()) + 1);
}

TEST_F(OffsetEditor, FailedSetLeavesTheFormatExactlyAsItWas)
{
    Load(64);
    ed->SetOffsetFormat("2%6!8:<|>");
    const TWQHOffsetFormat before = ed->OffsetFormatData();
    const int width = ed->OffsetDisplayWidth();
    const struct {
        const char* text;
        QString message;
    } bad[] = {
        {"r%-!10:|", QString::asprintf(wqhstr::InvalidBytesPerUnit, 16)},
        {"-!11:|", "Invalid radix in offset format (11h), allowed: 02h..10h"},
        {"-!1:|", "Invalid radix in offset format (1h), allowed: 02h..10h"},
        {"-!:|", "Missing char in offset format: number radix"},
        {"-!10|", "Missing char in offset format: :"},
        {"-!10:0x", "Missing char in offset format: |"},
    };
    for (const auto& b : bad) {
        EXPECT_EQ(SetFormatError(b.text), b.message);
        const TWQHOffsetFormat& now = ed->OffsetFormatData();
        EXPECT_EQ(now.Format, before.Format);
        EXPECT_EQ(now.Prefix, before.Prefix);
        EXPECT_EQ(now.Suffix, before.Suffix);
        EXPECT_EQ(now.MinWidth, before.MinWidth);
        EXPECT_EQ(now.Flags, before.Flags);
        EXPECT_EQ(now.Radix, before.Radix);
        EXPECT_EQ(now._BytesPerUnit, before._BytesPerUnit);
        EXPECT_EQ(ed->OffsetDisplayWidth(), width);
        EXPECT_EQ(ed->GetOffsetString(0x20), "<000020>");
    }
}

TEST_F(OffsetEditor, RowUnitCountsRowsAndSurvivesA256ByteRow)
{
    Load(256);
    ed->SetBytesPerRow(8);
    ed->SetOffsetFormat("r%-!10:|");
    EXPECT_EQ(ed->GetOffsetString(0x40), "08");
    ed->SetBytesPerRow(256);  // the 8-bit unit holds 0 now
    EXPECT_EQ(ed->OffsetFormatData()._BytesPerUnit, 0);
    EXPECT_EQ(ed->GetOffsetString(0x200), "2");
    EXPECT_GT(ed->OffsetDisplayWidth(), 0);
}

TEST_F(OffsetEditor, EmptyFormatShowsNothingButAnyOffsetStillHasText)
{
    Load(64);
    ed->SetOffsetFormat("");
    EXPECT_EQ(ed->OffsetFormat(), "");
    EXPECT_EQ(ed->GetOffsetString(0x30), "");
    EXPECT_EQ(ed->GetAnyOffsetString(255), "FF");
    EXPECT_EQ(ed->OffsetDisplayWidth(), 1);
    EXPECT_EQ(ed->ColWidths(0), ed->CharWidth() + 21);
    ed->SetOffsetFormat("10:|");
    EXPECT_EQ(ed->GetAnyOffsetString(255), "FF");
    EXPECT_EQ(ed->GetAnyOffsetString(-1), "FFFFFFFF");
}

TEST_F(OffsetEditor, GutterWidthOverridesAndIsNeverNegative)
{
    Load(64);
    ed->SetGutterWidth(50);
    EXPECT_EQ(ed->ColWidths(0), 50);
    ed->SetGutterWidth(-7);
    EXPECT_EQ(ed->ColWidths(0), 0);
    ed->SetGutterWidth(-1);
    EXPECT_EQ(ed->ColWidths(0), ed->OffsetDisplayWidth() * ed->CharWidth() + 21);
}

TEST_F(OffsetEditor, HandlerDecoratesTheFormatText)
{
    Load(0x100 + 16);
    std::vector<std::pair<std::int64_t, bool>> calls;
    ed->SetOnGetOffsetText([&](QObject* s, std::int64_t n, QString& text) {
        EXPECT_EQ(s, ed.get());
        EXPECT_TRUE(text.isEmpty());
        calls.emplace_back(n, ed->IsMaxOffset());
        text = "[" + ed->GetOffsetString(std::uint32_t(n)) + "]";  // the format's own text in here
    });
    EXPECT_EQ(ed->GetOffsetString(0x20), "[0x020]");
    ed->UpdateGetOffsetText();
    EXPECT_EQ(ed->OffsetDisplayWidth(), int(QStringLiteral("[0x100]").size()) + 1);
    EXPECT_TRUE(ed->IsMaxOffset()) << "the widest offset was asked last";
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0], std::make_pair(std::int64_t(0x20), false));
    EXPECT_EQ(calls[1], std::make_pair(std::int64_t(0x100), true));
    // Positions are zero-extended.
    EXPECT_EQ(ed->GetOffsetString(0xFFFFFFFFu), "[0xFFFFFFFF]");
    EXPECT_EQ(calls.back().first, 0xFFFFFFFFLL);
    EXPECT_FALSE(ed->IsMaxOffset());
    EXPECT_FALSE(ed->FOffsetHandler);
}

TEST_F(OffsetEditor, GuardIsClearedWhenTheHandlerRaises)
{
    Load(64);
    int calls = 0;
    ed->SetOnGetOffsetText([&](QObject*, std::int64_t, QString& text) {
        if (++calls == 1)
            throw std::runtime_error("host failed");
        text = "ok";
    });
    EXPECT_THROW(ed->GetOffsetString(0), std::runtime_error);
    EXPECT_FALSE(ed->FOffsetHandler);
    EXPECT_FALSE(ed->IsMaxOffset());
    EXPECT_EQ(ed->GetOffsetString(0), "ok");
    EXPECT_EQ(calls, 2);
}

TEST_F(OffsetEditor, FormatChangeThatFailsInTheHandlerParsesThePreviousTextAgain)
{
    Load(64);
    bool fail = false;
    int calls = 0;
    ed->SetOnGetOffsetText([&](QObject*, std::int64_t, QString& text) {
        ++calls;
        if (fail)
            throw std::runtime_error("host failed");
        text = "x";
    });
    ed->SetOffsetFormat("8!10:|h");
    fail = true;
    calls = 0;
    EXPECT_THROW(ed->SetOffsetFormat("A:|"), std::runtime_error);
    EXPECT_EQ(calls, 1) << "the restore does not ask the handler again";
    EXPECT_EQ(ed->OffsetFormat(), "8!10:|h");
    EXPECT_EQ(ed->OffsetFormatData().Radix, 16);
    EXPECT_EQ(ed->OffsetFormatData().MinWidth, 8);
    EXPECT_EQ(ed->OffsetFormatData().Suffix, "h");
    EXPECT_FALSE(ed->FOffsetHandler);
    ed->SetOnGetOffsetText({});
    EXPECT_EQ(ed->GetOffsetString(0x1F0), "000001F0h");
}

} // namespace

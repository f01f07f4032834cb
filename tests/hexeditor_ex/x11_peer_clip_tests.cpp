// The clipboard between two programs on a real X server: what one copies or
// cuts the other pastes, byte for byte, and nothing stays behind once the
// program that copied has ended.
#include "x11_peer_editor.h"

#include "ex_support.h"
#include "support/fakes.h"
#include "x11_peer_client.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QListWidget>
#include <QMimeData>
#include <gtest/gtest.h>

namespace {

using namespace x11peer;

// The own format as it travels on X.
const QString kOwnMime = QStringLiteral("application/x-qt-windows-mime;value=\"TWQHexeditorEx Clipboard Format\"");

bool ClipboardOffers(const QString& mime)
{
    const QMimeData* m = QGuiApplication::clipboard()->mimeData();
    return m && m->formats().contains(mime);
}

class X11PeerClipboard : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            GTEST_SKIP() << "needs the xcb platform (run under xvfb-run)";
        ed.move(0, 0);
        Load(ed, Iota(16));
        ed.show();
        ASSERT_TRUE(WaitExposed(ed));
        ASSERT_TRUE(peer.Start(560, 0));
    }
    void TearDown() override
    {
        EXPECT_EQ(refused.Count, 0) << "the own format was lost on the way";
        EXPECT_TRUE(fakes.ui.exceptions.empty()) << fakes.ui.exceptions.front().toStdString();
    }

    testsupport::ScopedPlatformFakes fakes;
    TPeerTestEditor ed;
    Peer peer;
    TRefusedFormatDialogs refused;
};

} // namespace

TEST_F(X11PeerClipboard, CopyInTheOtherProgramPastesEveryByteHere)
{
    ASSERT_EQ(peer.Ask("load 41004200ffe90d0a43"), "ok");
    ASSERT_EQ(peer.Ask("select 0 8"), "ok");
    ASSERT_EQ(peer.Ask("key C"), "ok");
    ASSERT_TRUE(PumpUntil([] { return ClipboardOffers(kOwnMime); })) << "the peer's copy never showed";
    EXPECT_FALSE(ed.OwnsClipBoard());
    EXPECT_TRUE(ed.CanPaste());

    ed.Caret(5);
    ed.CtrlKey('V');
    EXPECT_EQ(DataOf(ed), Inserted(Iota(16), 5, Bytes{0x41, 0x00, 0x42, 0x00, 0xFF, 0xE9, 0x0D, 0x0A, 0x43}));
    EXPECT_EQ(peer.Data(), (Bytes{0x41, 0x00, 0x42, 0x00, 0xFF, 0xE9, 0x0D, 0x0A, 0x43})) << "a copy keeps the source";
    ASSERT_TRUE(ed.Undo());
    EXPECT_EQ(DataOf(ed), Iota(16));
}

TEST_F(X11PeerClipboard, CutHereIsPastedByTheOtherProgram)
{
    ASSERT_EQ(peer.Ask("load 1111"), "ok");
    ed.Select(2, 5);
    ed.CtrlKey('X');
    ASSERT_TRUE(ed.OwnsClipBoard());
    Bytes rest = Iota(16);
    rest.erase(rest.begin() + 2, rest.begin() + 6);
    EXPECT_EQ(DataOf(ed), rest);

    ASSERT_EQ(peer.Ask("caret 1"), "ok");
    ASSERT_EQ(peer.Ask("key V"), "ok"); // served by our event loop while the peer waits
    EXPECT_EQ(peer.Data(), (Bytes{0x11, 2, 3, 4, 5, 0x11}));
    EXPECT_TRUE(ed.OwnsClipBoard()) << "a paste elsewhere leaves the clipboard with us";
}

TEST_F(X11PeerClipboard, NothingIsPastedOnceTheProgramThatCopiedHasEnded)
{
    ASSERT_EQ(peer.Ask("load 4142"), "ok");
    ASSERT_EQ(peer.Ask("select 0 1"), "ok");
    ASSERT_EQ(peer.Ask("key C"), "ok");
    ASSERT_TRUE(PumpUntil([] { return ClipboardOffers(kOwnMime); }));
    ASSERT_TRUE(peer.Quit());
    // With no clipboard manager on this server the data ends with its owner.
    ASSERT_TRUE(PumpUntil([] { return !ClipboardOffers(kOwnMime); }));
    EXPECT_FALSE(ed.CanPaste());
    ed.Caret(3);
    ed.CtrlKey('V');
    EXPECT_EQ(DataOf(ed), Iota(16));
    EXPECT_FALSE(ed.CanUndo());
}

TEST_F(X11PeerClipboard, WebLinkCopiedInTheOtherProgramPastesAsItsText)
{
    const QByteArray url = "https://example.org/page?x=1";
    ASSERT_EQ(peer.Ask("weblink " + url), "ok");
    ASSERT_TRUE(PumpUntil([] { return ClipboardOffers(QStringLiteral("text/uri-list")); }))
        << "the peer's link never showed";
    EXPECT_TRUE(ed.CanPaste());
    QStringList offered;
    SetFormatSelDialogRunner([&](QDialog& d) {
        auto& f = static_cast<TFormatSelDialog&>(d);
        for (int i = 0; i < f.LlbxFormats->count(); ++i)
            offered << f.LlbxFormats->item(i)->text();
        f.SelectFormat(CF_TEXT);
        return int(QDialog::Accepted);
    });
    ed.Caret(5);
    ed.CtrlKey('V');
    SetFormatSelDialogRunner({});
    EXPECT_EQ(offered, (QStringList{QStringLiteral("Text"), QStringLiteral("Unicode Text"), QStringLiteral("OEM Text")}));
    EXPECT_EQ(DataOf(ed), Inserted(Iota(16), 5, Bytes(url.begin(), url.end())));
    ASSERT_TRUE(ed.Undo());
    EXPECT_EQ(DataOf(ed), Iota(16));
}

// Undo and redo while the host's handlers act: for every kind of step, a
// handler called during the restore that records steps, empties the store or
// asks for another undo or redo leaves the data exactly as the restore puts
// it back, and the steps below it intact.
#include "hexeditor/wqhexeditor.h"
#include "hexeditor/wqhundo.h"
#include "platform/streams.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace {

class Editor : public TCustomWQHexEditor {
public:
    using TCustomWQHexEditor::CreateUndo;
};

using Bytes = std::vector<std::uint8_t>;

Bytes DataOf(const TCustomWQHexEditor& ed)
{
    Bytes b(size_t(ed.DataSize()));
    if (!b.empty())
        ed.ReadBuffer(b.data(), 0, int(b.size()));
    return b;
}

enum class THandler { Records, Empties, AsksAgain };

struct TKind {
    const char* Name;
    bool Redoable;
    std::function<void(Editor&)> Edit;
};

const Bytes Block(64, 0xE5);

std::vector<TKind> Kinds()
{
    return {
        {"BytesChanged", true, [](Editor& e) { e.Seek(4090, 0); e.WMChar(u'7'); }},
        {"ByteRemoved", true, [](Editor& e) { e.SetSelection(4000, 4000, 4063); e.DeleteSelection(QString()); }},
        {"InsertBuffer", true, [](Editor& e) { e.InsertBuffer(Block.data(), 64, 4000, QString(), false); }},
        {"Replace", true,
         [](Editor& e) {
             e.SetSelection(4000, 4000, 4000);
             e.ReplaceSelection(Block.data(), 64, QString(), false);
         }},
        {"AppendBuffer", true, [](Editor& e) { e.AppendBuffer(Block.data(), 64, QString(), false); }},
        {"NibbleInsert", true, [](Editor& e) { e.InsertNibble(4000, true, QString()); }},
        {"NibbleDelete", true, [](Editor& e) { e.DeleteNibble(4000, true, QString()); }},
        {"Convert", false, [](Editor& e) { e.ConvertRange(4000, 4063, tkAsIs, tkMac, QString()); }},
        {"Selection", true, [](Editor& e) { e.AddSelectionUndo(4000, 16); }},
        {"Combined", false,
         [](Editor& e) {
             e.InsertBuffer(Block.data(), 64, 4000, QString(), false);
             e.SetSelection(100, 100, 115);
             e.DeleteSelection(QString());
             e.CombineUndo(2, QString());
         }},
        {"AllData", true,
         [](Editor& e) {
             e.CreateUndo(ufKindAllData, 0, 0, 0, QString());
             e.WriteBuffer(Block.data(), 4000, 64);
         }},
    };
}

// 4 KiB shown at its end in a small view, so that a change of the row count
// moves the top row (and calls OnTopLeftChanged); one older step below.
struct TSetup {
    Editor ed;
    Bytes original, before, after;

    explicit TSetup(const TKind& k)
    {
        ed.resize(320, 160);
        Bytes b(4096);
        for (size_t i = 0; i < b.size(); ++i)
            b[i] = std::uint8_t(i * 7);
        platform::TMemoryStream m;
        m.Write(b.data(), std::int64_t(b.size()));
        ed.LoadFromStream(m);
        ed.Seek(4095, 0);
        original = DataOf(ed);
        const std::uint8_t v = 0x42;
        ed.Replace(&v, 0, 1, 1, QStringLiteral("older"), false);
        before = DataOf(ed);
        k.Edit(ed);
        after = DataOf(ed);
    }

    // The handler runs on every change and top-left notification.
    void Install(THandler h, bool& askedAndGranted)
    {
        auto act = [this, h, &askedAndGranted, once = std::make_shared<bool>(true)](QObject*) {
            switch (h) {
            case THandler::Records:
                // Enough steps to move the stream's memory.
                if (*once)
                    for (int i = 0; i < 64; ++i)
                        ed.AddSelectionUndo(i, 1);
                *once = false;
                break;
            case THandler::Empties:
                ed.ResetUndo();
                break;
            case THandler::AsksAgain:
                if (ed.Undo())
                    askedAndGranted = true;
                if (ed.Redo())
                    askedAndGranted = true;
                break;
            }
        };
        ed.SetOnChange(act);
        ed.SetOnTopLeftChanged(act);
    }

    void Uninstall()
    {
        ed.SetOnChange({});
        ed.SetOnTopLeftChanged({});
    }

    Bytes UndoAll()
    {
        for (int i = 0; i < 1000 && ed.CanUndo(); ++i)
            EXPECT_TRUE(ed.Undo());
        return DataOf(ed);
    }
};

const char* NameOf(THandler h)
{
    switch (h) {
    case THandler::Records: return "records";
    case THandler::Empties: return "empties";
    default: return "asks again";
    }
}

TEST(UndoHandlers, AnUndoPutsTheDataBackWhateverAHandlerDoesMeanwhile)
{
    for (const TKind& k : Kinds()) {
        for (THandler h : {THandler::Records, THandler::Empties, THandler::AsksAgain}) {
            SCOPED_TRACE(std::string(k.Name) + ", handler " + NameOf(h));
            TSetup s(k);
            bool granted = false;
            s.Install(h, granted);
            EXPECT_TRUE(s.ed.Undo());
            s.Uninstall();
            ASSERT_EQ(s.ed.DataSize(), int(s.before.size()));
            EXPECT_TRUE(DataOf(s.ed) == s.before);
            EXPECT_FALSE(granted);
            switch (h) {
            case THandler::Records:
                EXPECT_FALSE(s.ed.CanRedo());
                EXPECT_TRUE(s.UndoAll() == s.original);
                break;
            case THandler::Empties:
                EXPECT_FALSE(s.ed.CanUndo());
                EXPECT_FALSE(s.ed.CanRedo());
                break;
            case THandler::AsksAgain:
                EXPECT_EQ(s.ed.UndoDescription(), "older");
                EXPECT_TRUE(s.ed.Undo());
                EXPECT_TRUE(DataOf(s.ed) == s.original);
                EXPECT_FALSE(s.ed.CanUndo());
                break;
            }
        }
    }
}

TEST(UndoHandlers, ARedoPutsTheDataBackWhateverAHandlerDoesMeanwhile)
{
    for (const TKind& k : Kinds()) {
        if (!k.Redoable)
            continue;
        for (THandler h : {THandler::Records, THandler::Empties, THandler::AsksAgain}) {
            SCOPED_TRACE(std::string(k.Name) + ", handler " + NameOf(h));
            TSetup s(k);
            ASSERT_TRUE(s.ed.Undo());
            ASSERT_TRUE(DataOf(s.ed) == s.before);
            bool granted = false;
            s.Install(h, granted);
            EXPECT_TRUE(s.ed.Redo());
            s.Uninstall();
            ASSERT_EQ(s.ed.DataSize(), int(s.after.size()));
            EXPECT_TRUE(DataOf(s.ed) == s.after);
            EXPECT_FALSE(granted);
            EXPECT_FALSE(s.ed.CanRedo());
            switch (h) {
            case THandler::Records:
                // The redone step lies beneath the handler's steps.
                EXPECT_TRUE(s.UndoAll() == s.original);
                break;
            case THandler::Empties:
                EXPECT_FALSE(s.ed.CanUndo());
                break;
            case THandler::AsksAgain:
                EXPECT_TRUE(s.ed.Undo());
                EXPECT_TRUE(DataOf(s.ed) == s.before);
                EXPECT_EQ(s.ed.UndoDescription(), "older");
                EXPECT_TRUE(s.ed.Undo());
                EXPECT_TRUE(DataOf(s.ed) == s.original);
                break;
            }
        }
    }
}

} // namespace

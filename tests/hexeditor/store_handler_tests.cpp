// Edits whose host handlers change the data and raise while the edit runs:
// the edit takes back only what it changed itself, and only while the data is
// as it left it; otherwise the data stays as the handler left it and every
// step stays, so that undo still brings back each byte.
#include "editor_bytes.h"
#include "hexeditor/wqhexeditor.h"
#include "hexeditor/wqhundo.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

using editortest::Bytes;
using editortest::DataOf;
using editortest::Load;

struct THandlerError {};

Bytes Original(int size)
{
    Bytes b(static_cast<size_t>(size));
    for (int i = 0; i < size; ++i)
        b[size_t(i)] = std::uint8_t(i * 13 + i / 251);
    return b;
}

const Bytes Block(48, 0xC3);
const Bytes Grown(8, 0xEE);

struct TEdit {
    const char* Name;
    // The first OnChange comes from the virtual write, with the edit half done.
    bool NotifiesMidway;
    std::function<void(TCustomWQHexEditor&, int at)> Run;
};

std::vector<TEdit> Edits()
{
    return {
        {"InsertBuffer", true,
         [](TCustomWQHexEditor& e, int at) { e.InsertBuffer(Block.data(), 48, at, QString(), false); }},
        {"AppendBuffer", true, [](TCustomWQHexEditor& e, int) { e.AppendBuffer(Block.data(), 48, QString(), false); }},
        {"ReplaceSelection", true,
         [](TCustomWQHexEditor& e, int at) {
             e.SetSelection(at, at, at + 15);
             e.ReplaceSelection(Block.data(), 48, QString(), false);
         }},
        {"Replace", true, [](TCustomWQHexEditor& e, int at) { e.Replace(Block.data(), at, 16, 48, QString(), false); }},
        {"InsertNibble", false, [](TCustomWQHexEditor& e, int at) { e.InsertNibble(at, true, QString()); }},
        {"DeleteNibble", false, [](TCustomWQHexEditor& e, int at) { e.DeleteNibble(at, false, QString()); }},
    };
}

enum class TAct { Raises, Shrinks, Grows, Empties, Reloads };
const char* const ActNames[] = {"raises", "shrinks", "grows", "empties", "reloads"};

// The handler acts on the first OnChange only, then raises.
void Install(TCustomWQHexEditor& ed, TAct act, const Bytes& other)
{
    auto once = std::make_shared<bool>(true);
    ed.SetOnChange([&ed, act, other, once](QObject*) {
        if (!*once)
            return;
        *once = false;
        switch (act) {
        case TAct::Raises: break;
        case TAct::Shrinks: ed.SetDataSize(10); break;
        case TAct::Grows: ed.InsertBuffer(Grown.data(), int(Grown.size()), 0, QString(), false); break;
        case TAct::Empties: ed.SetDataSize(0); break;
        case TAct::Reloads: Load(ed, other); break;
        }
        throw THandlerError();
    });
}

TEST(StoreHandlers, AHandlerThatChangesTheDataAndRaisesMidwayLosesNoByte)
{
    const Bytes other = Original(100);
    for (const int size : {64, 0x300000}) {
        const Bytes original = Original(size);
        const int at = size / 2;
        for (const TEdit& edit : Edits()) {
            TCustomWQHexEditor twin;
            Load(twin, original);
            edit.Run(twin, at);
            const Bytes result = DataOf(twin);
            for (const TAct act : {TAct::Raises, TAct::Shrinks, TAct::Grows, TAct::Empties, TAct::Reloads}) {
                SCOPED_TRACE(std::string(edit.Name) + " on " + std::to_string(size) + " bytes, handler " +
                             ActNames[int(act)]);
                TCustomWQHexEditor ed;
                ed.resize(320, 160);
                Load(ed, original);
                Install(ed, act, other);
                EXPECT_THROW(edit.Run(ed, at), THandlerError);
                ed.SetOnChange({});
                Bytes left;
                switch (act) {
                case TAct::Raises: left = edit.NotifiesMidway ? original : result; break;
                case TAct::Shrinks: left.assign(result.begin(), result.begin() + 10); break;
                case TAct::Grows:
                    left = Grown;
                    left.insert(left.end(), result.begin(), result.end());
                    break;
                case TAct::Empties: break;
                case TAct::Reloads: left = other; break;
                }
                ASSERT_EQ(ed.DataSize(), int(left.size()));
                EXPECT_TRUE(DataOf(ed) == left);
                if (act == TAct::Reloads) {
                    EXPECT_FALSE(ed.CanUndo());
                    continue;
                }
                if (act != TAct::Raises) {
                    // The handler's own step, then the edit's.
                    ASSERT_TRUE(ed.Undo());
                    EXPECT_TRUE(DataOf(ed) == result);
                }
                if (act != TAct::Raises || !edit.NotifiesMidway) {
                    ASSERT_TRUE(ed.Undo());
                    EXPECT_TRUE(DataOf(ed) == original);
                }
                EXPECT_FALSE(ed.CanUndo());
            }
        }
    }
}

// A handler called while the step is being recorded, before the data
// changes: its own edit stays with its step, and the edit that failed leaves
// no step of its own behind.
TEST(StoreHandlers, AHandlerThatEditsWhileTheStepIsRecordedAndRaisesKeepsOnlyItsOwnStep)
{
    const Bytes original = Original(64);
    TCustomWQHexEditor ed;
    ed.resize(320, 160);
    Load(ed, original);
    ed.SetBookmark(0, TWQHBookmark{60, false});
    bool once = true;
    ed.SetOnBookmarkChanged([&](QObject*) {
        if (!once)
            return;
        once = false;
        ed.InsertBuffer(Grown.data(), int(Grown.size()), 0, QStringLiteral("handler"), false);
        throw THandlerError();
    });
    EXPECT_THROW(ed.InsertBuffer(Block.data(), 4, 20, QStringLiteral("failed"), false), THandlerError);
    ed.SetOnBookmarkChanged({});
    Bytes grown = Grown;
    grown.insert(grown.end(), original.begin(), original.end());
    EXPECT_TRUE(DataOf(ed) == grown);
    EXPECT_EQ(ed.UndoStorage().Count(), 1);
    EXPECT_EQ(ed.UndoDescription(), "handler");
    ASSERT_TRUE(ed.Undo());
    EXPECT_TRUE(DataOf(ed) == original);
    EXPECT_FALSE(ed.CanUndo());
}

// A removal done, then a handler raises as the view follows the caret: the
// bytes stay removed, and the step that holds them stays to bring them back.
TEST(StoreHandlers, ARemovalWhoseViewHandlerRaisesKeepsItsStep)
{
    const Bytes original = Original(4096);
    TCustomWQHexEditor ed;
    ed.resize(320, 160);
    Load(ed, original);
    ed.Seek(4095, 0);
    ed.SetSelection(100, 100, 163);
    bool raised = false;
    ed.SetOnTopLeftChanged([&](QObject*) {
        if (raised)
            return;
        raised = true;
        throw THandlerError();
    });
    EXPECT_THROW(ed.DeleteSelection(QString()), THandlerError);
    ed.SetOnTopLeftChanged({});
    Bytes removed = original;
    removed.erase(removed.begin() + 100, removed.begin() + 164);
    EXPECT_TRUE(DataOf(ed) == removed);
    ASSERT_TRUE(ed.Undo());
    EXPECT_TRUE(DataOf(ed) == original);
}

} // namespace

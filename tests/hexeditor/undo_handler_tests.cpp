// Undo and redo while the host's handlers act: for every kind of step, a
// handler called during the restore that records steps, works on the store
// itself, empties it or asks for another undo or redo leaves the data exactly
// as the restore puts it back, the restored step taken off exactly once and
// the steps below it intact. An undo or redo asked for while an edit runs is
// refused, and what a handler does to the store meanwhile leaves the edit
// whole.
#include "editor_bytes.h"
#include "hexeditor/wqhexeditor.h"
#include "hexeditor/wqhundo.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace {

class Editor : public TCustomWQHexEditor {
public:
    using TCustomWQHexEditor::CreateUndo;
};

using editortest::Bytes;
using editortest::DataOf;
using editortest::Load;

// What a handler does: Records and Empties go through the control, AsksAgain
// through both the control and the store, the others through the store.
enum class THandler {
    Records,
    Empties,
    AsksAgain,
    AddsSelection,
    RecordsInStore,
    TakesOffNewest,
    CountsToZero,
    ResetsKeepingRedo
};

const std::vector<THandler> AllHandlers = {THandler::Records,       THandler::Empties,        THandler::AsksAgain,
                                           THandler::AddsSelection, THandler::RecordsInStore, THandler::TakesOffNewest,
                                           THandler::CountsToZero,  THandler::ResetsKeepingRedo};

// Runs one handler's action; true when an undo or redo it asked for was done.
bool Act(Editor& ed, THandler h, bool& first)
{
    TWQHUndoStorage& st = ed.UndoStorage();
    const bool once = first;
    first = false;
    switch (h) {
    case THandler::Records:
        // Enough steps to move the stream's memory.
        if (once)
            for (int i = 0; i < 64; ++i)
                ed.AddSelectionUndo(i, 1);
        break;
    case THandler::Empties: ed.ResetUndo(); break;
    case THandler::AsksAgain: {
        bool granted = ed.Undo();
        granted = ed.Redo() || granted;
        granted = st.Undo() || granted;
        granted = st.Redo() || granted;
        return granted;
    }
    case THandler::AddsSelection: st.AddSelection(2, 3); break;
    case THandler::RecordsInStore:
        if (once)
            st.CreateUndo(ufKindSelection, 1, 2, 0, QStringLiteral("store"));
        break;
    case THandler::TakesOffNewest:
        if (once)
            st.RemoveLastUndo();
        break;
    case THandler::CountsToZero: st.SetCount(0); break;
    case THandler::ResetsKeepingRedo: st.Reset(false); break;
    }
    return false;
}

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
        Load(ed, b);
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
        auto act = [this, h, &askedAndGranted, first = std::make_shared<bool>(true)](QObject*) {
            if (Act(ed, h, *first))
                askedAndGranted = true;
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
    static const char* const names[] = {"records",         "empties",           "asks again",
                                        "adds a selection", "records in the store", "takes off the newest",
                                        "counts to zero",  "resets keeping the redo"};
    return names[int(h)];
}

TEST(UndoHandlers, AnUndoPutsTheDataBackWhateverAHandlerDoesMeanwhile)
{
    for (const TKind& k : Kinds()) {
        for (THandler h : AllHandlers) {
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
            case THandler::RecordsInStore:
                EXPECT_FALSE(s.ed.CanRedo());
                EXPECT_TRUE(s.UndoAll() == s.original);
                break;
            case THandler::Empties:
                EXPECT_FALSE(s.ed.CanUndo());
                EXPECT_FALSE(s.ed.CanRedo());
                break;
            case THandler::CountsToZero:
            case THandler::ResetsKeepingRedo:
                EXPECT_FALSE(s.ed.CanUndo());
                break;
            case THandler::AsksAgain:
            case THandler::AddsSelection:
            case THandler::TakesOffNewest:
                // The restored step went once, by the undo or by the handler.
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
        for (THandler h : AllHandlers) {
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
            case THandler::RecordsInStore:
                // The redone step lies beneath the handler's steps.
                EXPECT_TRUE(s.UndoAll() == s.original);
                break;
            case THandler::Empties:
            case THandler::CountsToZero:
            case THandler::ResetsKeepingRedo:
                EXPECT_FALSE(s.ed.CanUndo());
                break;
            case THandler::AsksAgain:
            case THandler::AddsSelection:
                EXPECT_TRUE(s.ed.Undo());
                EXPECT_TRUE(DataOf(s.ed) == s.before);
                EXPECT_EQ(s.ed.UndoDescription(), "older");
                EXPECT_TRUE(s.ed.Undo());
                EXPECT_TRUE(DataOf(s.ed) == s.original);
                break;
            case THandler::TakesOffNewest:
                // The handler took one of the two steps off: the older one
                // when it ran before the redone one was back (which then does
                // not go back into the store this emptied), else the redone one.
                EXPECT_LE(s.ed.UndoStorage().Count(), 1);
                break;
            }
        }
    }
}

// ---- while an edit runs ------------------------------------------------------------

struct TEditKind {
    const char* Name;
    bool ShiftsBookmarks;  // recording its step notifies OnBookmarkChanged
    std::function<void(Editor&)> Edit;
};

std::vector<TEditKind> EditKinds()
{
    static const std::uint8_t ins[] = {0xAA, 0xBB, 0xCC};
    return {
        {"InsertBuffer", true, [](Editor& e) { e.InsertBuffer(ins, 2, 1, QString(), false); }},
        {"ReplaceSelection", true,
         [](Editor& e) {
             e.SetSelection(1, 1, 2);
             e.ReplaceSelection(ins, 3, QString(), false);
         }},
        {"Replace", true, [](Editor& e) { e.Replace(ins, 1, 2, 1, QString(), false); }},
        {"DeleteSelection", true,
         [](Editor& e) {
             e.SetSelection(1, 1, 2);
             e.DeleteSelection(QString());
         }},
        {"AppendBuffer", false, [](Editor& e) { e.AppendBuffer(ins, 3, QString(), false); }},
        {"InsertNibble", false, [](Editor& e) { e.InsertNibble(2, true, QString()); }},
        {"DeleteNibble", false, [](Editor& e) { e.DeleteNibble(2, false, QString()); }},
    };
}

// 01..06 with a bookmark on its last byte, so that an insert, replace or
// delete at 1 moves it while its step is recorded.
struct TEditSetup {
    Editor ed;
    const Bytes original{1, 2, 3, 4, 5, 6};

    TEditSetup()
    {
        ed.resize(320, 160);
        Load(ed, original);
        ed.SetBookmark(0, TWQHBookmark{5, false});
    }
};

TEST(UndoHandlers, WhileAnEditRunsUndoAndRedoAreRefusedAndTheStoreKeepsTheEditWhole)
{
    for (const TEditKind& k : EditKinds()) {
        TEditSetup plain;
        k.Edit(plain.ed);
        const Bytes result = DataOf(plain.ed);
        for (const bool onBookmark : {true, false}) {
            if (onBookmark && !k.ShiftsBookmarks)
                continue;
            for (THandler h : AllHandlers) {
                SCOPED_TRACE(std::string(k.Name) + (onBookmark ? ", OnBookmarkChanged" : ", OnChange") +
                             ", handler " + NameOf(h));
                TEditSetup s;
                bool ran = false, granted = false;
                auto act = [&, first = std::make_shared<bool>(true)](QObject*) {
                    ran = true;
                    if (Act(s.ed, h, *first))
                        granted = true;
                };
                if (onBookmark)
                    s.ed.SetOnBookmarkChanged(act);
                else
                    s.ed.SetOnChange(act);
                k.Edit(s.ed);
                s.ed.SetOnBookmarkChanged({});
                s.ed.SetOnChange({});
                ASSERT_TRUE(ran);
                EXPECT_FALSE(granted);
                EXPECT_TRUE(DataOf(s.ed) == result) << "the data is exactly the edit's result";
                switch (h) {
                case THandler::Records:
                case THandler::RecordsInStore:
                    for (int i = 0; i < 100 && s.ed.CanUndo(); ++i)
                        EXPECT_TRUE(s.ed.Undo());
                    EXPECT_TRUE(DataOf(s.ed) == s.original);
                    break;
                case THandler::AsksAgain:
                case THandler::AddsSelection:
                    EXPECT_TRUE(s.ed.Undo());
                    EXPECT_TRUE(DataOf(s.ed) == s.original) << "one undo gives back the original";
                    EXPECT_FALSE(s.ed.CanUndo());
                    break;
                case THandler::TakesOffNewest:
                case THandler::Empties:
                case THandler::CountsToZero:
                case THandler::ResetsKeepingRedo:
                    // The host took the edit's step off or emptied the store.
                    EXPECT_FALSE(s.ed.CanUndo());
                    break;
                }
            }
        }
    }
}

} // namespace

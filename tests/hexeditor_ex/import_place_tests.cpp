// Accepted formats, drop effects and the placing rules of an insertion.
#include "hexeditor/ex/wqholeimport.h"

#include <gtest/gtest.h>

using namespace wqhimport;
using A = TWQHPlaceAction;

namespace {
const TWQHClipFormats kIds{0xC000, 0xC001, 0xC002, 0xC003, 0xC004, 0xC005, 0xC006, 0xC007};
}

TEST(ImportFormats, PriorityListWithAndWithoutOtherFormats)
{
    EXPECT_EQ(GetMyOLEFormats(kIds, false), (TClipFormats{0xC000, CF_HDROP}));
    EXPECT_EQ(GetMyOLEFormats(kIds, true),
              (TClipFormats{0xC000, CF_HDROP, CF_TEXT, 0xC002, CF_UNICODETEXT, CF_BITMAP, CF_PALETTE,
                            CF_METAFILEPICT, CF_TIFF, CF_OEMTEXT, CF_DIB, CF_RIFF, CF_WAVE, CF_ENHMETAFILE,
                            CF_LOCALE, 0xC001, 0xC003}));
}

TEST(ImportFormats, FirstSupportedFollowsOurOrderNotTheSources)
{
    const TClipFormats accepted = GetMyOLEFormats(kIds, true);
    EXPECT_EQ(FirstSupportedFormat(accepted, {CF_UNICODETEXT, CF_TEXT, 0xC000}), TClipFormat(0xC000));
    EXPECT_EQ(FirstSupportedFormat(accepted, {0xC003, CF_UNICODETEXT}), TClipFormat(CF_UNICODETEXT));
    EXPECT_FALSE(FirstSupportedFormat(GetMyOLEFormats(kIds, false), {CF_TEXT, CF_UNICODETEXT}));
    EXPECT_FALSE(FirstSupportedFormat(accepted, {0xC004, 0xC005}));
    EXPECT_EQ(OfferedInPriority(accepted, {CF_UNICODETEXT, 0x1234, CF_TEXT, CF_TEXT}),
              (TClipFormats{CF_TEXT, CF_UNICODETEXT}));
}

TEST(ImportEffects, OwnDragMovesUnlessCtrlOrReadOnly)
{
    EXPECT_EQ(ModifyOLEDropEffect(0, true, false, false, kIds.Own), DROPEFFECT_MOVE);
    EXPECT_EQ(ModifyOLEDropEffect(MK_CONTROL, true, false, false, kIds.Own), DROPEFFECT_COPY);
    EXPECT_EQ(ModifyOLEDropEffect(0, true, true, false, kIds.Own), DROPEFFECT_COPY);
}

TEST(ImportEffects, ForeignDropCopiesUnlessShiftAndFilesLink)
{
    EXPECT_EQ(ModifyOLEDropEffect(0, false, false, false, CF_TEXT), DROPEFFECT_COPY);
    EXPECT_EQ(ModifyOLEDropEffect(MK_SHIFT, false, false, false, CF_TEXT), DROPEFFECT_MOVE);
    EXPECT_EQ(ModifyOLEDropEffect(MK_SHIFT, false, true, false, CF_TEXT), DROPEFFECT_COPY);
    EXPECT_EQ(ModifyOLEDropEffect(MK_SHIFT, false, false, false, CF_HDROP), DROPEFFECT_LINK);
    EXPECT_EQ(ModifyOLEDropEffect(0, false, false, false, CF_HDROP), DROPEFFECT_COPY);
    // A fixed-size control never takes bytes away from the source.
    EXPECT_EQ(ModifyOLEDropEffect(MK_SHIFT, false, false, true, CF_TEXT), DROPEFFECT_COPY);
}

TEST(ImportEffects, FinalEffectIsOneTheSourceAllowed)
{
    EXPECT_EQ(AllowedDropEffect(DROPEFFECT_MOVE, DROPEFFECT_COPY | DROPEFFECT_MOVE), DROPEFFECT_MOVE);
    EXPECT_EQ(AllowedDropEffect(DROPEFFECT_MOVE, DROPEFFECT_COPY), DROPEFFECT_COPY);
    EXPECT_EQ(AllowedDropEffect(DROPEFFECT_LINK, DROPEFFECT_COPY | DROPEFFECT_MOVE), DROPEFFECT_COPY);
    EXPECT_EQ(AllowedDropEffect(DROPEFFECT_MOVE, DROPEFFECT_LINK), DROPEFFECT_NONE);
    EXPECT_EQ(AllowedDropEffect(DROPEFFECT_COPY | DROPEFFECT_MOVE, DROPEFFECT_COPY | DROPEFFECT_MOVE),
              DROPEFFECT_COPY);
    EXPECT_EQ(AllowedDropEffect(DROPEFFECT_NONE, DROPEFFECT_COPY), DROPEFFECT_NONE);
}

TEST(ImportEffects, SourceTrustsAStoredEffectOnlyWithinWhatItAllowed)
{
    EXPECT_EQ(SourceDropEffect(DROPEFFECT_COPY, true, DROPEFFECT_MOVE, DROPEFFECT_COPY | DROPEFFECT_MOVE),
              DROPEFFECT_MOVE);
    EXPECT_EQ(SourceDropEffect(DROPEFFECT_MOVE, true, DROPEFFECT_COPY, DROPEFFECT_COPY | DROPEFFECT_MOVE),
              DROPEFFECT_COPY);
    // A read-only source allows copies only: a target claiming a move deletes nothing.
    EXPECT_EQ(SourceDropEffect(DROPEFFECT_MOVE, false, 0, DROPEFFECT_COPY), DROPEFFECT_COPY);
    EXPECT_EQ(SourceDropEffect(DROPEFFECT_COPY, true, DROPEFFECT_MOVE, DROPEFFECT_COPY), DROPEFFECT_COPY);
    EXPECT_EQ(SourceDropEffect(DROPEFFECT_NONE, false, 0, DROPEFFECT_COPY), DROPEFFECT_NONE);
}

TEST(ImportPlace, ClipboardAlwaysPastesAndNegativeDropFails)
{
    TWQHPlaceInput in;
    in.Operation = oleClipboard;
    in.DataSize = 10;
    EXPECT_EQ(PlanInsertion(in).Action, A::PasteData);
    in.Operation = oleDrop;
    in.DropPosition = -1;
    EXPECT_EQ(PlanInsertion(in).Action, A::Fail);
}

TEST(ImportPlace, SelfMoveAfterTheSelectionShiftsByItsLength)
{
    TWQHPlaceInput in;
    in.Operation = oleDrop;
    in.DataSize = 100;
    in.SelStart = 19; // the anchor may be either end
    in.SelEnd = 10;
    in.OwnDrag = true;
    in.Effect = DROPEFFECT_MOVE;
    in.DropPosition = 30;
    auto p = PlanInsertion(in);
    EXPECT_EQ(p.Action, A::MoveInsert);
    EXPECT_EQ(p.Position, 20);
    in.DropPosition = 5;
    p = PlanInsertion(in);
    EXPECT_EQ(p.Action, A::MoveInsert);
    EXPECT_EQ(p.Position, 5);
    in.DropPosition = 100;
    p = PlanInsertion(in);
    EXPECT_EQ(p.Action, A::MoveAppend);
    EXPECT_EQ(p.Position, 90);
    // Dropped onto itself: the bytes go back where they were, never before 0.
    in.SelStart = 0;
    in.SelEnd = 9;
    in.DropPosition = 4;
    p = PlanInsertion(in);
    EXPECT_EQ(p.Action, A::MoveInsert);
    EXPECT_EQ(p.Position, 0);
    // A copy inside the own control is an ordinary drop.
    in.Effect = DROPEFFECT_COPY;
    in.DropPosition = 50;
    EXPECT_EQ(PlanInsertion(in).Action, A::Insert);
}

TEST(ImportPlace, ForeignDropByPositionSelectionAndFixedSize)
{
    TWQHPlaceInput in;
    in.Operation = oleDrop;
    in.DataSize = 10;
    in.DropPosition = 10;
    EXPECT_EQ(PlanInsertion(in).Action, A::Append);
    in.FixedSize = true;
    EXPECT_EQ(PlanInsertion(in).Action, A::AppendNothing);
    in.DropPosition = 3;
    auto p = PlanInsertion(in);
    EXPECT_EQ(p.Action, A::ReplaceInPlace);
    EXPECT_EQ(p.Position, 3);
    in.SelStart = 2;
    in.SelEnd = 4;
    EXPECT_EQ(PlanInsertion(in).Action, A::ReplaceSelection);
    in.DropPosition = 5;
    EXPECT_EQ(PlanInsertion(in).Action, A::ReplaceInPlace);
    in.FixedSize = false;
    EXPECT_EQ(PlanInsertion(in).Action, A::Insert);
    in.DropPosition = 4;
    EXPECT_EQ(PlanInsertion(in).Action, A::ReplaceSelection);
}

TEST(ImportPlace, CountIsRoundedToWholeUnits)
{
    EXPECT_EQ(CheckUnit(3, 2), 2);
    EXPECT_EQ(CheckUnit(1, 2), 0);
    EXPECT_EQ(CheckUnit(7, 4), 4);
    EXPECT_EQ(CheckUnit(7, 1), 7);
    EXPECT_EQ(CheckUnit(0, 8), 0);
}

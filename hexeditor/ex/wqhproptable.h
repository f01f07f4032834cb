#pragma once
// The core control's published properties as entries of the property text.
#include "hexeditor/ex/wqhproptext.h"

class TCustomWQHexEditor;

// Appends the properties that the hex editor core publishes, in the order the
// extended control declares them:
//   UnicodeChars, UnicodeBigEndian, AutoBytesPerRow (the switches that gate
//   other values come first, so a text read back in order restores them:
//   unicode mode off before an odd BytesPerRow or a translation, automatic
//   rows off before a BytesPerRow; unicode mode goes on only after the
//   text's BytesPerRow and BytesPerColumn, which must then be even),
//   BytesPerRow, BytesPerColumn, Translation, OffsetFormat, CaretKind,
//   Colors.* (Background, ChangedBackground, ChangedText, CursorFrame, Offset,
//   OddColumn, EvenColumn, CurrentOffsetBackground, OffsetBackground,
//   CurrentOffset, Grid, NonFocusCursorFrame, ActiveFieldBackground),
//   FocusFrame, SwapNibbles, MaskChar, NoSizeChange, AllowInsertMode,
//   DrawGridLines, WantTabs, ReadOnlyView, HideSelection,
//   GraySelectionIfNotFocused, GutterWidth, Version, MaxUndo, InsertMode,
//   HexLowerCase, DrawGutter3D, ShowRuler, BytesPerUnit, RulerBytesPerUnit,
//   ShowPositionIfNotFocused, BytesPerBlock, SeparateBlocksInCharField,
//   FindProgress, RulerNumberBase.
// Font.* is the caller's (it sits after the control's other properties).
// Events and object references (BookmarkBitmap, OffsetPopupMenu) have no
// value line. The entries refer to Editor, which must outlive them.
void WQHAddCoreProps(TWQHPropTable& Table, TCustomWQHexEditor& Editor);

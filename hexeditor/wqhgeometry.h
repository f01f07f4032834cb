#pragma once
// The editor's grid geometry as plain functions: which width each column
// gets, how many rows and columns there are, how wide a row of m bytes is
// estimated to be, and the ruler texts. The control lays itself out through
// these, so they can be checked without a window.
#include <QFont>
#include <QString>

struct TWQHGeometry {
    int BytesPerRow = 16;          // B
    int BytesPerColDigits = 4;     // hex digits per column group (2 x BytesPerColumn)
    int BlockSize = -1;            // bytes per block; below 2: no blocks
    bool SepCharBlocks = true;     // blocks also spaced in the character field
    bool Unicode = false;          // one character column per two bytes
    int UsedRulerBytesPerUnit = 1; // U
    int CharWidth = 8;             // cw
};

// 3B + 3, or 2B + B div 2 + 3 in unicode mode.
int WQHColCount(const TWQHGeometry& G);
// Character columns: B, or B div 2 in unicode mode.
int WQHCharColCount(const TWQHGeometry& G);
// ceil(DataSize / B) + 2, one more in insert mode when DataSize is a non-zero
// multiple of B (the append row); 3 without data. Capped at the int range.
int WQHRowCount(long long DataSize, int BytesPerRow, bool InsertMode);
// Width of grid column Col (0 and 1 excluded: the gutter and separator are set
// elsewhere): hex digits, the spacer and the character columns.
int WQHColWidth(const TWQHGeometry& G, int Col);
// Estimated pixel width of a row of M bytes (digits and characters), as the
// automatic bytes-per-row fit measures it.
int WQHRowWidthEstimate(const TWQHGeometry& G, int M);
// The largest even byte count 2..256 whose estimated row fits into Avail
// pixels; 2 when none does.
int WQHFitBytesPerRow(const TWQHGeometry& G, int Avail);

// The ruler over the hex digits (one character per digit column) and over
// the character columns, for numbers in Radix (2..16).
void WQHRulerTexts(const TWQHGeometry& G, int Radix, bool LowerCase, QString& HexRuler, QString& CharRuler);

// Whether every glyph of the font advances by the same width.
bool WQHIsFixedPitch(const QFont& Font);
// The font the editor shows for Font: an installed family as given,
// proportional or not; a Windows name such as "Courier New" or a family that
// is not installed maps to a fixed-pitch face of the same size and style.
QFont WQHEditorFont(const QFont& Font);

#pragma once
// Helpers of the print tests: a recording canvas with fixed metrics (every
// character as wide as the font size, lines twice as high) and the printed
// rows read back from its calls.
#include "hexeditor/wqhcanvas.h"

#include <QFont>
#include <map>
#include <memory>

inline std::unique_ptr<TWQHRecordingCanvas> FixedCanvas(int Size = 10)
{
    QFont f(QStringLiteral("Courier New"));
    f.setPointSize(Size);
    auto c = std::make_unique<TWQHRecordingCanvas>(f);
    c->CharWidthOf = [](QChar, int size, bool) { return size; };
    c->LineHeightOf = [](int size) { return 2 * size; };
    return c;
}

// The cells of each printed row (TextRect calls), by their top, left to right.
inline std::map<int, std::vector<TWQHRecordingCanvas::TCall>> CellsByRow(const TWQHRecordingCanvas& c)
{
    std::map<int, std::vector<TWQHRecordingCanvas::TCall>> rows;
    for (const auto& call : c.Calls)
        if (call.Op == TWQHRecordingCanvas::opTextRect)
            rows[call.Y].push_back(call);
    return rows;
}

inline QString RowText(const std::vector<TWQHRecordingCanvas::TCall>& cells)
{
    QString s;
    for (const auto& c : cells)
        s += c.Text;
    return s;
}

inline std::vector<QString> PrintedRows(const TWQHRecordingCanvas& c)
{
    std::vector<QString> out;
    for (const auto& [y, cells] : CellsByRow(c))
        out.push_back(RowText(cells));
    return out;
}

#pragma once
// Helpers of the extended control's tests: load bytes, read them back.
#include "hexeditor/ex/wqhexeditorex.h"
#include "../hexeditor/editor_bytes.h"
#include "platform/streams.h"

#include <cstdint>
#include <vector>

using editortest::Bytes;
using editortest::DataOf;
using editortest::Load;

inline Bytes Iota(int n)
{
    Bytes b(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i)
        b[std::size_t(i)] = std::uint8_t(i);
    return b;
}

// One byte changed as an edit: with its undo step.
inline void Put(TCustomWQHexEditor& ed, int pos, std::uint8_t v)
{
    ed.Replace(&v, pos, 1, 1, QString(), false);
}

// Fixes the screen's resolution that font sizes are converted with, for a scope.
struct ScopedScreenDpi {
    explicit ScopedScreenDpi(int Dpi) { SetWQHScreenPixelsPerInch(Dpi); }
    ~ScopedScreenDpi() { SetWQHScreenPixelsPerInch(0); }
    ScopedScreenDpi(const ScopedScreenDpi&) = delete;
    ScopedScreenDpi& operator=(const ScopedScreenDpi&) = delete;
};

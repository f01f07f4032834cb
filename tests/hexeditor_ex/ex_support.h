#pragma once
// Helpers of the extended control's tests: load bytes, read them back.
#include "hexeditor/ex/wqhexeditorex.h"
#include "platform/streams.h"

#include <cstdint>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

inline void Load(TCustomWQHexEditor& ed, const Bytes& b)
{
    platform::TMemoryStream m;
    if (!b.empty())
        m.Write(b.data(), std::int64_t(b.size()));
    ed.LoadFromStream(m);
}

inline Bytes DataOf(const TCustomWQHexEditor& ed)
{
    Bytes b(std::size_t(ed.DataSize()));
    if (!b.empty())
        ed.ReadBuffer(b.data(), 0, ed.DataSize());
    return b;
}

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

#pragma once
// Pieces the clipboard benchmarks share: a clipboard that only holds what it
// is given, random image bytes, and the reference copy into fresh memory.
#include "hexeditor/ex/wqhclipboard.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <random>

class HoldingTransport : public TWQHClipboardTransport {
public:
    IDataObjectPtr held;
    HRESULT SetClipboard(const IDataObjectPtr& obj) override
    {
        held = obj;
        return S_OK;
    }
    HRESULT GetClipboard(IDataObjectPtr& obj) override
    {
        obj = held;
        return held ? S_OK : E_FAIL;
    }
    HRESULT IsCurrentClipboard(const IDataObjectPtr& obj) override { return obj == held ? S_OK : S_FALSE; }
    HRESULT FlushClipboard() override { return S_OK; }
};

// Fills a multiple of 8 bytes with the same pseudo-random bytes in every run.
inline void FillRandom(void* data, int size)
{
    auto* p = static_cast<unsigned char*>(data);
    std::mt19937_64 rng(750);
    for (int i = 0; i < size; i += 8) {
        const std::uint64_t v = rng();
        std::memcpy(p + i, &v, 8);
    }
}

// One memcpy into a freshly allocated block: a copy to the clipboard needs new
// memory too, so the page faults of that memory are part of the price.
inline void MemcpyIntoFresh(benchmark::State& s, const void* source, int size)
{
    for (auto _ : s) {
        auto fresh = std::make_unique_for_overwrite<unsigned char[]>(size);
        std::memcpy(fresh.get(), source, size);
        benchmark::DoNotOptimize(fresh.get());
        benchmark::ClobberMemory();
    }
}

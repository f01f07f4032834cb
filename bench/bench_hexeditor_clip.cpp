// Clipboard copy of a 64 MiB selection followed by one GetData of the own
// format, against one memcpy of 64 MiB into fresh memory (target: at most 3x), and the paste
// check against a full clipboard, which must read only the list of formats
// (target: the same time for 1 byte and for 64 MiB on the clipboard).
#include "hexeditor/ex/wqhclipboard.h"
#include "hexeditor/ex/wqhdataobject.h"
#include "hexeditor/ex/wqhexeditorex.h"
#include "platform/streams.h"

#include "bench_clip_support.h"
#include "bench_ratio.h"

#include <benchmark/benchmark.h>

#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

namespace {

constexpr int kImageSize = 0x4000000;

struct Shared {
    platform::TMemoryStream source;
    std::vector<unsigned char> target;
    std::unique_ptr<TWQHexEditorEx> editor;
    HoldingTransport transport;

    Shared() : target(kImageSize, 1)
    {
        source.SetSize(kImageSize);
        FillRandom(source.Memory(), kImageSize);
        SetWQHClipboardTransport(&transport);
        editor = std::make_unique<TWQHexEditorEx>();
        editor->resize(800, 600);
        source.SetPosition(0);
        editor->LoadFromStream(source);
    }
};

Shared& Data()
{
    static Shared shared;
    return shared;
}

void BM_MemcpyReference(benchmark::State& s)
{
    Shared& d = Data();
    for (auto _ : s) {
        std::memcpy(d.target.data(), d.source.Memory(), kImageSize);
        benchmark::DoNotOptimize(d.target.data());
        benchmark::ClobberMemory();
    }
}

// The same copy into a fresh allocation, as every copy to the clipboard needs
// one: the page faults of new memory are part of the price.
void BM_MemcpyFreshReference(benchmark::State& s)
{
    MemcpyIntoFresh(s, Data().source.Memory(), kImageSize);
}

void BM_CopyThenGetOwn(benchmark::State& s)
{
    Shared& d = Data();
    d.editor->SetSelStart(0);
    d.editor->SetSelEnd(kImageSize - 1);
    for (auto _ : s) {
        if (!d.editor->CBCopy()) {
            s.SkipWithError("CBCopy refused");
            break;
        }
        STGMEDIUM medium;
        if (d.transport.held->GetData(MakeFormatEtc(CF_WQHEXEDITOR()), medium) != S_OK ||
            GlobalSize(medium.hGlobal) != kImageSize + 13) {
            s.SkipWithError("GetData failed");
            break;
        }
        benchmark::DoNotOptimize(medium.hGlobal->Data());
        d.transport.held.reset();
    }
}

void BM_CanPaste(benchmark::State& s)
{
    Shared& d = Data();
    const int bytes = static_cast<int>(s.range(0));
    d.transport.held = TWQHDataObject::Create(d.source.Memory(), bytes, QString(), false, false);
    for (auto _ : s)
        benchmark::DoNotOptimize(d.editor->CanPaste());
    d.transport.held.reset();
}

} // namespace

#define QV_BENCH(fn) BENCHMARK(fn)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10)
QV_BENCH(BM_MemcpyReference);
QV_BENCH(BM_MemcpyFreshReference);
QV_BENCH(BM_CopyThenGetOwn);
BENCHMARK(BM_CanPaste)->Arg(1)->Arg(kImageSize)->Unit(benchmark::kMicrosecond)->UseRealTime();

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    Data();
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    // A copy must put the bytes into new memory, so its reference is a memcpy
    // into a freshly allocated block; the warm copy is shown for comparison.
    std::printf("\nour time / reference time:\n");
    const double copy = reporter.Ratio("BM_CopyThenGetOwn", "BM_MemcpyReference");
    const double paste = reporter.Ratio("BM_CanPaste/67108864", "BM_CanPaste/1");
    const double copyFresh = reporter.Ratio("BM_CopyThenGetOwn", "BM_MemcpyFreshReference");
    std::printf("  copy + GetData of 64 MiB / memcpy of 64 MiB into a freshly allocated block: %.2f (target <= 3)\n",
                copyFresh);
    std::printf("  copy + GetData of 64 MiB / memcpy of 64 MiB into a warm block: %.2f (for comparison only)\n", copy);
    std::printf("  CanPaste with 64 MiB / with 1 byte on the clipboard: %.2f (target about 1)\n", paste);
    SetWQHClipboardTransport(nullptr);
    benchmark::Shutdown();
    return 0;
}

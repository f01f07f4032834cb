// The hex editor's data store on a 64 MiB image: a load from a memory stream
// against a plain memcpy of the same bytes, and a one-byte insert or delete
// at position 0 followed by its undo against a bare memmove of the block.
#include "hexeditor/wqhexeditor.h"
#include "platform/streams.h"

#include "bench_ratio.h"

#include <benchmark/benchmark.h>

#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int kImageSize = 0x4000000;

struct Shared {
    platform::TMemoryStream source;
    std::vector<unsigned char> target;
    std::unique_ptr<TWQHexEditor> editor;

    Shared() : target(kImageSize, 1)
    {
        source.SetSize(kImageSize);
        std::mt19937_64 rng(750);
        for (int i = 0; i < kImageSize; i += 8) {
            const std::uint64_t v = rng();
            std::memcpy(source.Memory() + i, &v, 8);
        }
        editor = std::make_unique<TWQHexEditor>();
        editor->resize(800, 600);
        editor->CreateEmptyFile(QString());
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

void BM_LoadFromStream(benchmark::State& s)
{
    Shared& d = Data();
    for (auto _ : s) {
        d.editor->LoadFromStream(d.source);
        benchmark::DoNotOptimize(d.editor->GetFastPointer(0, 1));
    }
    if (d.editor->DataSize() != kImageSize || d.editor->GetDataAt(kImageSize - 1) != static_cast<std::uint8_t>(d.source.Memory()[kImageSize - 1]))
        s.SkipWithError("load did not copy the image");
}

void BM_MemmoveReference(benchmark::State& s)
{
    Shared& d = Data();
    for (auto _ : s) {
        std::memmove(d.target.data() + 1, d.target.data(), kImageSize - 1);
        benchmark::DoNotOptimize(d.target.data());
        benchmark::ClobberMemory();
    }
}

void BM_InsertAndUndoAtZero(benchmark::State& s)
{
    Shared& d = Data();
    d.editor->LoadFromStream(d.source);
    const std::uint8_t b = 0x5A;
    for (auto _ : s) {
        d.editor->InsertBuffer(&b, 1, 0, QString(), false);
        d.editor->Undo();
    }
    if (d.editor->DataSize() != kImageSize)
        s.SkipWithError("insert and undo did not restore the size");
}

void BM_DeleteAndUndoAtZero(benchmark::State& s)
{
    Shared& d = Data();
    d.editor->LoadFromStream(d.source);
    for (auto _ : s) {
        d.editor->ResetSelection(false);
        d.editor->SetSelStart(0);
        d.editor->DeleteSelection(QString());
        d.editor->Undo();
    }
    if (d.editor->DataSize() != kImageSize)
        s.SkipWithError("delete and undo did not restore the size");
}

} // namespace

// The first run of a benchmark also pays for the first touch of the data
// block's pages; the median of three is the steady reload and edit.
#define QV_BENCH(fn) BENCHMARK(fn)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10)->Repetitions(3)
QV_BENCH(BM_MemcpyReference);
QV_BENCH(BM_LoadFromStream);
QV_BENCH(BM_MemmoveReference);
QV_BENCH(BM_InsertAndUndoAtZero);
QV_BENCH(BM_DeleteAndUndoAtZero);

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    Data();
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\nour time / reference time (64 MiB; targets: a load at most 2x one memcpy;\n"
                "an edit plus its undo one memmove each, so about 2x one memmove):\n");
    const char* pairs[][2] = {{"BM_LoadFromStream", "BM_MemcpyReference"},
                              {"BM_InsertAndUndoAtZero", "BM_MemmoveReference"},
                              {"BM_DeleteAndUndoAtZero", "BM_MemmoveReference"}};
    for (const auto& pair : pairs) {
        const auto ours = reporter.seconds.find(pair[0]);
        const auto ref = reporter.seconds.find(pair[1]);
        if (ours != reporter.seconds.end() && ref != reporter.seconds.end() && ref->second > 0)
            std::printf("  %-22s %6.2fx  (ours %.2f ms, %s %.2f ms)\n", pair[0] + 3, ours->second / ref->second,
                        ours->second * 1e3, pair[1] + 3, ref->second * 1e3);
    }
    benchmark::Shutdown();
    return 0;
}

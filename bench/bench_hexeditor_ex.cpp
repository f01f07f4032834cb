// The extended control at 64 MiB: an outermost undo bracket copies the data
// once however many edits it holds (bracket + 1000 one-byte edits + close +
// undo against one memcpy of 64 MiB into a freshly allocated block, since the
// snapshot needs fresh memory too; target at most 3), and Ctrl+wheel zoom
// at one byte per row relays out as fast at 64 MiB as at 1 KiB (target at
// most 1.2).
#include "bench_ratio.h"
#include "hexeditor/ex/wqhexeditorex.h"
#include "platform/streams.h"

#include <QApplication>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace {

constexpr int kBig = 64 << 20;

std::unique_ptr<TWQHexEditorEx> MakeEditor(int size, bool shown)
{
    auto ed = std::make_unique<TWQHexEditorEx>();
    if (shown) {
        ed->resize(800, 600);
        ed->show();
        QApplication::processEvents();
    }
    platform::TMemoryStream s;
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size), 0x5A);
    s.WriteBuffer(bytes.data(), size);
    ed->LoadFromStream(s);
    QApplication::processEvents();
    return ed;
}

TWQHexEditorEx* undoEd = nullptr;
TWQHexEditorEx* zoomSmall = nullptr;
TWQHexEditorEx* zoomLarge = nullptr;

// A copy into a block already touched: no page faults, so it is no fair
// reference for a snapshot; printed for comparison only.
void BM_Memcpy64MiB(benchmark::State& state)
{
    std::vector<std::uint8_t> a(kBig, 1), b(kBig, 2);
    for (auto _ : state) {
        std::memcpy(b.data(), a.data(), kBig);
        benchmark::DoNotOptimize(b.data());
        benchmark::ClobberMemory();
    }
}

// The reference of the undo bracket: the same copy into a block allocated
// for it, as a snapshot needs. Where page faults are slow this is far above
// the warm copy.
void BM_MemcpyFresh64MiB(benchmark::State& state)
{
    std::vector<std::uint8_t> a(kBig, 1);
    for (auto _ : state) {
        std::unique_ptr<std::uint8_t[]> b(new std::uint8_t[kBig]);
        std::memcpy(b.get(), a.data(), kBig);
        benchmark::DoNotOptimize(b.get());
        benchmark::ClobberMemory();
    }
}

void BM_UndoBracket64MiB(benchmark::State& state)
{
    TWQHexEditorEx& ed = *undoEd;
    for (auto _ : state) {
        ed.UndoBeginUpdate(QStringLiteral("group"));
        for (int i = 0; i < 1000; ++i) {
            const std::uint8_t v = static_cast<std::uint8_t>(i);
            ed.Replace(&v, i * 4096, 1, 1, QString(), false);
        }
        ed.UndoEndUpdate();
        if (!ed.Undo())
            state.SkipWithError("no undo step");
    }
}

void Zoom(benchmark::State& state, TWQHexEditorEx*& which)
{
    TWQHexEditorEx& ed = *which;
    for (auto _ : state) {
        ed.DoMouseWheelUp(ssCtrl, 10, 10);
        ed.DoMouseWheelDown(ssCtrl, 10, 10);
    }
}

void BM_WheelZoom1KiB(benchmark::State& state) { Zoom(state, zoomSmall); }
void BM_WheelZoom64MiB(benchmark::State& state) { Zoom(state, zoomLarge); }

} // namespace

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    auto u = MakeEditor(kBig, false);
    auto zs = MakeEditor(1024, true);
    auto zl = MakeEditor(kBig, true);
    zs->SetBytesPerRow(1);
    zl->SetBytesPerRow(1);
    undoEd = u.get();
    zoomSmall = zs.get();
    zoomLarge = zl.get();

    benchmark::RegisterBenchmark("BM_Memcpy64MiB", BM_Memcpy64MiB)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_MemcpyFresh64MiB", BM_MemcpyFresh64MiB)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_UndoBracket64MiB", BM_UndoBracket64MiB)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_WheelZoom1KiB", BM_WheelZoom1KiB)->Unit(benchmark::kMicrosecond)->Repetitions(5);
    benchmark::RegisterBenchmark("BM_WheelZoom64MiB", BM_WheelZoom64MiB)->Unit(benchmark::kMicrosecond)->Repetitions(5);
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\nour time / reference time:\n");
    std::printf("  undo bracket (1000 edits + undo) / memcpy of 64 MiB into a freshly allocated block: %.2f "
                "(target <= 3)\n",
                reporter.Ratio("BM_UndoBracket64MiB", "BM_MemcpyFresh64MiB"));
    std::printf("  undo bracket / memcpy of 64 MiB into a warm block (no page faults):             %.2f "
                "(for comparison only)\n",
                reporter.Ratio("BM_UndoBracket64MiB", "BM_Memcpy64MiB"));
    std::printf("  Ctrl+wheel zoom 64 MiB / 1 KiB, one byte per row:  %.2f (target <= 1.2)\n",
                reporter.Ratio("BM_WheelZoom64MiB", "BM_WheelZoom1KiB"));
    benchmark::Shutdown();
    undoEd = zoomSmall = zoomLarge = nullptr;
    return 0;
}

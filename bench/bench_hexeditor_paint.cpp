// Painting one full screen of the hex editor (a 1920 x 1080 window) near the
// end of a 64 MiB image against the start of a 1 KiB one: the cost must not
// depend on the data size or the scroll position.
#include "hexeditor/wqhcanvas.h"
#include "hexeditor/wqhexeditor.h"
#include "platform/streams.h"

#include <QApplication>
#include <QImage>
#include "bench_ratio.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>

namespace {

std::unique_ptr<TWQHexEditor> MakeEditor(int size, bool atEnd)
{
    auto ed = std::make_unique<TWQHexEditor>();
    ed->resize(1920, 1080);
    ed->show();  // lays out the viewport at the window's size
    QApplication::processEvents();
    platform::TMemoryStream data;
    data.SetSize(size);
    char* p = data.Memory();
    std::uint32_t x = 12345;
    for (int i = 0; i < size; ++i) {
        x = x * 1103515245u + 12345u;
        p[i] = char(x >> 16);
    }
    data.Seek(0, platform::SeekOrigin::Begin);
    ed->LoadFromStream(data);
    ed->SetShowRuler(true);
    if (atEnd)
        ed->SetTopRow(std::max(ed->FixedRows(), ed->RowCount() - ed->VisibleRowCount()));
    return ed;
}

void PaintScreens(benchmark::State& state, int size, bool atEnd)
{
    auto ed = MakeEditor(size, atEnd);
    QImage image(ed->ClientWidth(), ed->ClientHeight(), QImage::Format_RGB32);
    for (auto _ : state) {
        auto canvas = CreateQtCanvas(&image, ed->font());
        ed->PaintTo(*canvas);
        benchmark::DoNotOptimize(image.constBits());
    }
    state.counters["rows"] = ed->VisibleRowCount();
    state.counters["width"] = ed->ClientWidth();
    state.counters["top"] = ed->TopRow();
}

void BM_PaintStartOf1KiB(benchmark::State& s) { PaintScreens(s, 1024, false); }
void BM_PaintEndOf64MiB(benchmark::State& s) { PaintScreens(s, 64 * 1024 * 1024, true); }

} // namespace

#define QV_BENCH(fn) BENCHMARK(fn)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(0.3)->Repetitions(7)
QV_BENCH(BM_PaintStartOf1KiB);
QV_BENCH(BM_PaintEndOf64MiB);

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const auto big = reporter.seconds.find("BM_PaintEndOf64MiB");
    const auto small = reporter.seconds.find("BM_PaintStartOf1KiB");
    if (big != reporter.seconds.end() && small != reporter.seconds.end() && small->second > 0)
        std::printf("\none screen at the end of 64 MiB / at the start of 1 KiB: %.2f (target <= 1.2)\n",
                    big->second / small->second);
    benchmark::Shutdown();
    return 0;
}

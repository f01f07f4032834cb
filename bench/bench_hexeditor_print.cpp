// Printing: counting the pages of 64 MiB against 1 KiB (arithmetic, only the
// first row is built), and the last page of 64 MiB against the first page of
// 1 KiB drawn into a page image. Neither may grow with the data size.
#include "hexeditor/ex/wqhexeditorex.h"
#include "hexeditor/ex/wqhprinter.h"
#include "platform/streams.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include "bench_ratio.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

// An A4 page at 100 pixels per inch, drawn into an image.
class ImagePrinter final : public TWQHPrinter {
public:
    QImage Image{827, 1169, QImage::Format_RGB32};
    int PageWidth() const override { return Image.width(); }
    int PageHeight() const override { return Image.height(); }
    int DpiX() const override { return 100; }
    int DpiY() const override { return 100; }
    QPainter* Canvas() override { return nullptr; }
};

std::unique_ptr<TWQHexEditorEx> MakeEditor(int size)
{
    auto ed = std::make_unique<TWQHexEditorEx>();
    ed->resize(800, 600);
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
    return ed;
}

void CountPages(benchmark::State& state, int size)
{
    ImagePrinter printer;
    SetWQHPrinter(&printer);
    auto ed = MakeEditor(size);
    int pages = 0;
    for (auto _ : state) {
        pages = ed->PrintNumPages();
        benchmark::DoNotOptimize(pages);
    }
    state.counters["pages"] = pages;
    SetWQHPrinter(nullptr);
}

void RenderPage(benchmark::State& state, int size, bool last)
{
    ImagePrinter printer;
    SetWQHPrinter(&printer);
    auto ed = MakeEditor(size);
    const int page = last ? ed->PrintNumPages() : 1;
    for (auto _ : state) {
        const auto recorded = ed->PrintPreview(page);
        QPainter painter(&printer.Image);
        recorded->Play(painter, TRect{0, 0, printer.PageWidth(), printer.PageHeight()});
        painter.end();
        benchmark::DoNotOptimize(printer.Image.constBits());
    }
    state.counters["page"] = page;
    SetWQHPrinter(nullptr);
}

void BM_PrintNumPages1KiB(benchmark::State& s) { CountPages(s, 1024); }
void BM_PrintNumPages64MiB(benchmark::State& s) { CountPages(s, 64 * 1024 * 1024); }
void BM_PrintFirstPageOf1KiB(benchmark::State& s) { RenderPage(s, 1024, false); }
void BM_PrintLastPageOf64MiB(benchmark::State& s) { RenderPage(s, 64 * 1024 * 1024, true); }

} // namespace

#define QV_BENCH(fn) BENCHMARK(fn)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(0.3)->Repetitions(5)
QV_BENCH(BM_PrintNumPages1KiB);
QV_BENCH(BM_PrintNumPages64MiB);
QV_BENCH(BM_PrintFirstPageOf1KiB);
QV_BENCH(BM_PrintLastPageOf64MiB);

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const double count = reporter.Ratio("BM_PrintNumPages64MiB", "BM_PrintNumPages1KiB");
    const double render = reporter.Ratio("BM_PrintLastPageOf64MiB", "BM_PrintFirstPageOf1KiB");
    if (count >= 0)
        std::printf("\nPrintNumPages of 64 MiB / of 1 KiB: %.2f (target <= 1.2)\n", count);
    if (render >= 0)
        std::printf("last page of 64 MiB / first page of 1 KiB: %.2f (target <= 1.2)\n", render);
    benchmark::Shutdown();
    return 0;
}

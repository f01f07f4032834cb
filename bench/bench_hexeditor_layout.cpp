// Layout and grid geometry of the hex editor do not grow with the data: the
// same operations on 1 KiB and on 64 MiB shown one byte per row (67 million
// rows). Prints each operation's time for both and their ratio (~1 expected).
#include "hexeditor/wqhexeditor.h"
#include "platform/streams.h"

#include <QApplication>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <vector>

namespace {

class Editor : public TCustomWQHexEditor {
public:
    using TCustomWQHexEditor::CalcSizes;
};

std::unique_ptr<Editor> MakeEditor(int size)
{
    auto ed = std::make_unique<Editor>();
    ed->resize(800, 600);
    ed->show();
    QApplication::processEvents();
    platform::TMemoryStream s;
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size), 0x5A);
    s.WriteBuffer(bytes.data(), size);
    ed->LoadFromStream(s);
    ed->SetBytesPerRow(1);
    QApplication::processEvents();
    return ed;
}

Editor* small = nullptr;
Editor* large = nullptr;

using Op = std::function<void(Editor&, int)>;

struct NamedOp {
    const char* name;
    Op op;
};

const std::vector<NamedOp>& Ops()
{
    static const std::vector<NamedOp> ops = {
        {"CalcSizes", [](Editor& e, int) { e.CalcSizes(); }},
        {"CellRect",
         [](Editor& e, int i) { benchmark::DoNotOptimize(e.CellRect(2 + i % 3, e.TopRow() + i % 20)); }},
        {"MouseCoord", [](Editor& e, int i) { benchmark::DoNotOptimize(e.MouseCoord(100 + i % 200, 30 + i % 500)); }},
        {"VisibleRowCount", [](Editor& e, int) { benchmark::DoNotOptimize(e.VisibleRowCount()); }},
        {"SetTopRow", [](Editor& e, int i) { e.SetTopRow(i % 2 ? e.RowCount() - 40 : 2 + i % 7); }},
        {"MoveColRow", [](Editor& e, int i) { e.MoveColRow(2, i % 2 ? e.RowCount() - 1 : 2, true, true); }},
    };
    return ops;
}

void Run(benchmark::State& state, Editor*& which, const Op& op)
{
    int i = 0;
    for (auto _ : state)
        op(*which, i++);
}

// Mean nanoseconds per call, best of several rounds.
double Measure(Editor& e, const Op& op, int calls)
{
    double best = 1e300;
    for (int round = 0; round < 5; ++round) {
        const auto t0 = std::chrono::steady_clock::now();
        for (int i = 0; i < calls; ++i)
            op(e, i);
        const auto t1 = std::chrono::steady_clock::now();
        best = std::min(best, std::chrono::duration<double, std::nano>(t1 - t0).count() / calls);
    }
    return best;
}

} // namespace

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    auto s = MakeEditor(1024);
    auto l = MakeEditor(64 << 20);
    small = s.get();
    large = l.get();
    std::printf("rows: 1 KiB %d, 64 MiB %d\n", small->RowCount(), large->RowCount());

    for (const NamedOp& op : Ops()) {
        benchmark::RegisterBenchmark((std::string(op.name) + "/1KiB").c_str(),
                                     [&op](benchmark::State& st) { Run(st, small, op.op); });
        benchmark::RegisterBenchmark((std::string(op.name) + "/64MiB").c_str(),
                                     [&op](benchmark::State& st) { Run(st, large, op.op); });
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    std::printf("\n%-16s %14s %14s %8s\n", "operation", "1 KiB ns/call", "64 MiB ns/call", "ratio");
    for (const NamedOp& op : Ops()) {
        const int calls = 2000;
        const double a = Measure(*small, op.op, calls);
        const double b = Measure(*large, op.op, calls);
        std::printf("%-16s %14.1f %14.1f %8.2f\n", op.name, a, b, b / a);
    }
    small = large = nullptr;
    return 0;
}

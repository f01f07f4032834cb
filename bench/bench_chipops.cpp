// Read, write and verify of a 64 MiB chip through the zero-latency simulated
// programmer, end to end through the button handlers of a shown main window
// (offscreen), with the real message pump and the real monotonic clock.
// Reports MB/s, the ratio against the 500 MB/s target and against a plain
// memcpy of 64 MiB measured in the same run, and the share of time spent
// pumping messages.
#include "app/unit1.h"
#include "platform/paths.h"
#include "platform/seams.h"
#include "sim/sim.h"
#include "tests/support/fake_devicechange.h"
#include "tests/support/fakes.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstring>
#include <memory>
#include <vector>

namespace {

constexpr int ChipSize = 64 << 20;
constexpr double TargetMBps = 500.0;
double memcpyMBps = 0;

// The real pump, timed; sleeps cost nothing (a zero-latency programmer).
class TimedSystem final : public platform::System {
public:
    explicit TimedSystem(platform::System& real) : real_(real) {}
    void sleepMs(int) override {}
    void beep() override {}
    void processMessages() override
    {
        QElapsedTimer t;
        t.start();
        real_.processMessages();
        pumpNs += t.nsecsElapsed();
        ++pumps;
    }
    std::int64_t pumpNs = 0;
    long long pumps = 0;

private:
    platform::System& real_;
};

struct Bench {
    Bench()
    {
        platform::SetProgramPathForTesting(dir.path() + QStringLiteral("/qv750"));
        platform::setUserInterface(&ui);
        platform::setSystem(&system);
        sim::reset();
        sim::setRecording(sim::Recording::Off);
        sim::DeviceOptions options;
        options.chip.size = ChipSize;
        options.chip.erasePolls = 0;
        options.chip.id = 0xEF4020;
        options.chip.image.resize(ChipSize);
        for (int i = 0; i < ChipSize; ++i)
            options.chip.image[static_cast<size_t>(i)] = static_cast<std::uint8_t>(i * 31 + (i >> 12));
        device = sim::addDevice(options);

        form = std::make_unique<TForm1>();
        form->show(); // loads the (empty) chip list; the model goes in afterwards
        QApplication::processEvents();
        form->CheckBox4->setChecked(false);
        ChipInfo chip;
        chip.Name = "W25Q512";
        chip.Id = 0xEF4020;
        chip.Size = ChipSize;
        chip.PageSize = 256;
        chip.Type = 0;
        chip.Delay = 100;
        form->ChipTable[0] = chip;
        form->ComboBox1->addItem(QStringLiteral("W25Q512"));
        form->ComboBox1->setCurrentIndex(0);
        std::memcpy(form->ImageBuffer, sim::memory(device).data(), ChipSize);
        form->ImageLength = ChipSize;
        ui.boxes.clear(); // whatever the start-up probe had to say
    }
    ~Bench()
    {
        form.reset();
        platform::setUserInterface(nullptr);
        platform::setSystem(nullptr);
        sim::reset();
        platform::SetProgramPathForTesting(QString());
    }

    QTemporaryDir dir;
    testsupport::ScopedFakeDeviceChanges deviceChanges;
    testsupport::FakeUi ui;
    TimedSystem system{platform::system()};
    sim::DeviceId device = -1;
    std::unique_ptr<TForm1> form;
};

Bench* bench = nullptr;

void Report(benchmark::State& state, std::int64_t pumpNs, std::int64_t totalNs)
{
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * ChipSize);
    const double seconds = static_cast<double>(totalNs) / 1e9;
    const double mbps = static_cast<double>(state.iterations()) * ChipSize / 1e6 / seconds;
    state.counters["MB_per_s"] = mbps;
    state.counters["vs_500MBps"] = mbps / TargetMBps;
    if (memcpyMBps > 0)
        state.counters["vs_memcpy"] = mbps / memcpyMBps;
    state.counters["pump_share"] = totalNs > 0 ? static_cast<double>(pumpNs) / static_cast<double>(totalNs) : 0;
}

template <class Command>
void RunCommand(benchmark::State& state, Command command, const QString& expectedLine)
{
    Bench& b = *bench;
    std::int64_t pumpNs = 0;
    std::int64_t totalNs = 0;
    for (auto _ : state) {
        const int lines = static_cast<int>(b.form->LogLines().size());
        const std::int64_t pumpBefore = b.system.pumpNs;
        QElapsedTimer t;
        t.start();
        command(*b.form);
        totalNs += t.nsecsElapsed();
        pumpNs += b.system.pumpNs - pumpBefore;
        if (static_cast<int>(b.form->LogLines().size()) != lines + 1
            || !b.form->LogLines().front().startsWith(expectedLine) || !b.ui.boxes.empty()) {
            const QString why = b.ui.boxes.empty() ? b.form->LogLines().value(0) : b.ui.boxes.front().text;
            static std::string message;
            message = "the command did not complete: " + why.toStdString();
            state.SkipWithError(message.c_str());
            break;
        }
    }
    Report(state, pumpNs, totalNs);
}

void BM_Memcpy64MiB(benchmark::State& state)
{
    std::vector<unsigned char> from(ChipSize, 0x5A), to(ChipSize);
    std::int64_t totalNs = 0;
    for (auto _ : state) {
        QElapsedTimer t;
        t.start();
        std::memcpy(to.data(), from.data(), ChipSize);
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
        totalNs += t.nsecsElapsed();
    }
    memcpyMBps = static_cast<double>(state.iterations()) * ChipSize / 1e6 / (static_cast<double>(totalNs) / 1e9);
    Report(state, 0, totalNs);
}

void BM_Read64MiB(benchmark::State& state)
{
    RunCommand(state, [](TForm1& f) { f.BitBtn2Click(); }, QStringLiteral("读出操作完成！"));
}

void BM_Write64MiB(benchmark::State& state)
{
    RunCommand(state, [](TForm1& f) { f.BitBtn3Click(); }, QStringLiteral("写入操作完成！"));
}

void BM_Verify64MiB(benchmark::State& state)
{
    RunCommand(state, [](TForm1& f) { f.BitBtn9Click(); }, QStringLiteral("校验操作完成！"));
}

} // namespace

BENCHMARK(BM_Memcpy64MiB)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Read64MiB)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Write64MiB)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Verify64MiB)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    Bench b;
    bench = &b;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    bench = nullptr;
    return 0;
}

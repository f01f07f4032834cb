// Find of a 16-byte pattern over 64 MiB in the editor control, timed against
// memmem on the same bytes: case-sensitive, ignoring case and with a wildcard,
// over random bytes and over text-like bytes.
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

namespace {

constexpr int kSize = 64 * 1024 * 1024;
constexpr int kPatLen = 16;

struct Data {
    std::unique_ptr<TCustomWQHexEditor> ed;
    QByteArray bytes;
    QString pattern;      // byte values, one per character
    QString patternUpper; // the same with its letters in upper case
    int expected = -1;

    explicit Data(bool text)
    {
        std::mt19937_64 rng(text ? 38 : 750);
        bytes.resize(kSize);
        const char letters[] = "abcdefghijklmnopqrstuvwxyz      ABCDEFGHIJKLMNOPQRSTUVWXYZ.,;";
        for (int i = 0; i < kSize; ++i)
            bytes[i] = text ? letters[rng() % (sizeof letters - 1)] : static_cast<char>(rng());
        // The pattern sits near the end, so every search runs over the whole image.
        expected = kSize - 1000;
        for (int j = 0; j < kPatLen; ++j) {
            const char c = text ? letters[rng() % 26] : static_cast<char>('a' + rng() % 26);
            bytes[expected + j] = c;
            pattern += QChar(char16_t(std::uint8_t(c)));
        }
        patternUpper = pattern.toUpper();
        ed = std::make_unique<TCustomWQHexEditor>();
        platform::TMemoryStream s;
        s.Write(bytes.constData(), bytes.size());
        s.Seek(0, platform::SeekOrigin::Begin);
        ed->LoadFromStream(s);
    }
};

Data& Shared(bool text)
{
    static Data random(false), texty(true);
    return text ? texty : random;
}

void BM_Memmem(benchmark::State& s)
{
    Data& d = Shared(s.range(0));
    const QByteArray needle = d.pattern.toLatin1();
    for (auto _ : s) {
        const void* hit = memmem(d.bytes.constData(), d.bytes.size(), needle.constData(), needle.size());
        const long pos = hit ? static_cast<const char*>(hit) - d.bytes.constData() : -1;
        if (pos != d.expected)
            s.SkipWithError("memmem found another position");
        benchmark::DoNotOptimize(pos);
    }
}

void BM_Find(benchmark::State& s)
{
    Data& d = Shared(s.range(0));
    for (auto _ : s) {
        const int pos = d.ed->Find(d.pattern.constData(), kPatLen, 0, kSize - 1, false);
        if (pos != d.expected)
            s.SkipWithError("Find found another position");
    }
}

void BM_FindIgnoreCase(benchmark::State& s)
{
    Data& d = Shared(s.range(0));
    const QString p = d.ed->PrepareFindReplaceData(d.patternUpper, true, false);
    for (auto _ : s) {
        const int pos = d.ed->Find(p.constData(), kPatLen, 0, kSize - 1, true);
        if (pos != d.expected)
            s.SkipWithError("Find found another position");
    }
}

void BM_FindWildcard(benchmark::State& s)
{
    Data& d = Shared(s.range(0));
    QString p = d.pattern;
    p[5] = QChar(u'\x01');
    for (auto _ : s) {
        const int pos = d.ed->FindWithWildcard(p.constData(), kPatLen, 0, kSize - 1, false, QChar(u'\x01'));
        if (pos != d.expected)
            s.SkipWithError("FindWithWildcard found another position");
    }
}

} // namespace

#define QV_BENCH(fn) BENCHMARK(fn)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(0.5)
QV_BENCH(BM_Memmem);
QV_BENCH(BM_Find);
QV_BENCH(BM_FindIgnoreCase);
QV_BENCH(BM_FindWildcard);

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\nour time / memmem time, 16-byte pattern over 64 MiB (targets: Find 2x, IgnoreCase 4x):\n");
    for (const char* data : {"0", "1"}) {
        const auto ref = reporter.seconds.find(std::string("BM_Memmem/") + data);
        if (ref == reporter.seconds.end())
            continue;
        for (const char* ours : {"BM_Find", "BM_FindIgnoreCase", "BM_FindWildcard"}) {
            const auto it = reporter.seconds.find(std::string(ours) + "/" + data);
            if (it != reporter.seconds.end() && ref->second > 0)
                std::printf("  %-18s %-6s %5.2fx  (ours %.2f ms, memmem %.2f ms)\n", ours + 3,
                            data[0] == '0' ? "random" : "text", it->second / ref->second, it->second * 1e3,
                            ref->second * 1e3);
        }
    }
    benchmark::Shutdown();
    return 0;
}

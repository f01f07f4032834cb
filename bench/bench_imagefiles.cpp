// Reading and writing a full 64 MiB image as Intel HEX and S-records, timed
// against objcopy doing the same conversions on the same files.
#include "imagefiles/intelhex.h"
#include "imagefiles/srecord.h"
#include "platform/streams.h"

#include "bench_ratio.h"

#include <benchmark/benchmark.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

constexpr int kImageSize = 0x4000000;

struct Files {
    QTemporaryDir dir;
    std::vector<unsigned char> image;
    std::vector<unsigned char> buffer;
    QString bin, hex, srec;

    Files() : image(kImageSize), buffer(kImageSize)
    {
        // Mostly random bytes with some 0xFF runs, as a real flash dump has.
        std::mt19937_64 rng(750);
        for (std::size_t i = 0; i < image.size(); i += 8) {
            const std::uint64_t v = rng();
            std::memcpy(&image[i], &v, 8);
        }
        for (int k = 0; k < 64; ++k)
            std::memset(&image[static_cast<std::size_t>(rng() % (kImageSize - 65536))], 0xFF, 4096);
        bin = dir.filePath(QStringLiteral("image.bin"));
        hex = dir.filePath(QStringLiteral("image.hex"));
        srec = dir.filePath(QStringLiteral("image.srec"));
        platform::TFileStream file(bin, platform::FileMode::Create);
        file.WriteBuffer(image.data(), kImageSize);
        platform::TFileStream* slot = nullptr;
        if (!WriteIntelHexFile(&slot, hex, image.data(), kImageSize)
            || !WriteSRecordFile(&slot, srec, image.data(), kImageSize))
            std::fprintf(stderr, "could not write the bench files\n");
    }
    QString Out(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
};

Files& Shared()
{
    static Files files;
    return files;
}

bool RunObjcopy(const std::vector<std::string>& args)
{
    std::vector<char*> argv;
    std::string program = "objcopy";
    argv.push_back(program.data());
    std::vector<std::string> copy = args;
    for (auto& a : copy)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawnp(&pid, "objcopy", nullptr, nullptr, argv.data(), environ) != 0)
        return false;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid)
        return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Every write starts from the same state: no old target to truncate or
// replace, and no dirty pages of earlier runs to throttle it.
void FreshTarget(benchmark::State& state, const QString& path)
{
    state.PauseTiming();
    QFile::remove(path);
    ::sync();
    state.ResumeTiming();
}

// Loads the file into the shared buffer and checks it against the image.
void Read(benchmark::State& state, decltype(&ReadIntelHexFile) read, const QString& path)
{
    Files& f = Shared();
    std::memset(f.buffer.data(), 0xFF, kImageSize); // as the program does before a load
    int result = 0;
    for (auto _ : state) {
        platform::TFileStream* slot = nullptr;
        result = read(&slot, path, f.buffer.data(), kImageSize);
    }
    if (result != kImageSize || std::memcmp(f.buffer.data(), f.image.data(), kImageSize) != 0)
        state.SkipWithError("read back differs from the image");
}

void Write(benchmark::State& state, decltype(&WriteIntelHexFile) write, const char* target)
{
    Files& f = Shared();
    const QString path = f.Out(target);
    for (auto _ : state) {
        FreshTarget(state, path);
        platform::TFileStream* slot = nullptr;
        if (!write(&slot, path, f.image.data(), kImageSize))
            state.SkipWithError("write failed");
    }
}

void BM_ReadIntelHex(benchmark::State& s) { Read(s, &ReadIntelHexFile, Shared().hex); }
void BM_ReadSRecord(benchmark::State& s) { Read(s, &ReadSRecordFile, Shared().srec); }
void BM_WriteIntelHex(benchmark::State& s) { Write(s, &WriteIntelHexFile, "out.hex"); }
void BM_WriteSRecord(benchmark::State& s) { Write(s, &WriteSRecordFile, "out.srec"); }

// The system's share of a write: the finished text of the same file written
// in 1 MiB pieces, nothing to format.
void PlainWrite(benchmark::State& state, const QString& source, const char* target)
{
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly)) {
        state.SkipWithError("cannot read the source");
        return;
    }
    const QByteArray text = in.readAll();
    const QString path = Shared().Out(target);
    for (auto _ : state) {
        FreshTarget(state, path);
        platform::TFileStream file(path, platform::FileMode::Create);
        for (qsizetype at = 0; at < text.size(); at += 1 << 20)
            file.Write(text.constData() + at, std::min<qsizetype>(1 << 20, text.size() - at));
    }
}

void BM_PlainWriteIntelHex(benchmark::State& s) { PlainWrite(s, Shared().hex, "plain.hex"); }
void BM_PlainWriteSRecord(benchmark::State& s) { PlainWrite(s, Shared().srec, "plain.srec"); }

void Objcopy(benchmark::State& state, const char* in, const char* out, const QString& source, const char* target)
{
    const std::vector<std::string> args = {"-I", in, "-O", out, source.toStdString(),
                                           Shared().Out(target).toStdString()};
    for (auto _ : state) {
        FreshTarget(state, Shared().Out(target));
        if (!RunObjcopy(args))
            state.SkipWithError("objcopy failed");
    }
}

void BM_ObjcopyReadIntelHex(benchmark::State& s) { Objcopy(s, "ihex", "binary", Shared().hex, "oc.bin"); }
void BM_ObjcopyReadSRecord(benchmark::State& s) { Objcopy(s, "srec", "binary", Shared().srec, "oc2.bin"); }
void BM_ObjcopyWriteIntelHex(benchmark::State& s) { Objcopy(s, "binary", "ihex", Shared().bin, "oc.hex"); }
void BM_ObjcopyWriteSRecord(benchmark::State& s) { Objcopy(s, "binary", "srec", Shared().bin, "oc.srec"); }

} // namespace

#define QV_BENCH(fn) BENCHMARK(fn)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3)
QV_BENCH(BM_ReadIntelHex);
QV_BENCH(BM_ObjcopyReadIntelHex);
QV_BENCH(BM_ReadSRecord);
QV_BENCH(BM_ObjcopyReadSRecord);
QV_BENCH(BM_WriteIntelHex);
QV_BENCH(BM_ObjcopyWriteIntelHex);
QV_BENCH(BM_WriteSRecord);
QV_BENCH(BM_ObjcopyWriteSRecord);
QV_BENCH(BM_PlainWriteIntelHex);
QV_BENCH(BM_PlainWriteSRecord);

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    Shared();
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\nobjcopy time / our time (64 MiB image; PlainWrite: the same text written with\n"
                "nothing to format, the system's share of a write):\n");
    const char* pairs[][2] = {{"BM_ReadIntelHex", "BM_ObjcopyReadIntelHex"},
                              {"BM_ReadSRecord", "BM_ObjcopyReadSRecord"},
                              {"BM_WriteIntelHex", "BM_ObjcopyWriteIntelHex"},
                              {"BM_WriteSRecord", "BM_ObjcopyWriteSRecord"},
                              {"BM_PlainWriteIntelHex", "BM_ObjcopyWriteIntelHex"},
                              {"BM_PlainWriteSRecord", "BM_ObjcopyWriteSRecord"}};
    for (const auto& pair : pairs) {
        const auto ours = reporter.seconds.find(pair[0]);
        const auto theirs = reporter.seconds.find(pair[1]);
        if (ours != reporter.seconds.end() && theirs != reporter.seconds.end() && ours->second > 0)
            std::printf("  %-22s %7.1fx  (ours %.3f s, objcopy %.3f s)\n", pair[0] + 3,
                        theirs->second / ours->second, ours->second, theirs->second);
    }
    benchmark::Shutdown();
    return 0;
}

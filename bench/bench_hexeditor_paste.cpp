// Paste of a 16 MiB own block from the clipboard into 48 MiB of data at the
// caret, against one memcpy of the resulting 64 MiB into a freshly allocated
// block (target: at most 4x).
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

namespace {

constexpr int kBlock = 16 << 20;
constexpr int kData = 48 << 20;
constexpr int kTotal = kBlock + kData;
constexpr int kCaret = kData / 2;

struct Shared {
    platform::TMemoryStream bytes; // kTotal random bytes: the data, then the block
    std::unique_ptr<TWQHexEditorEx> editor;
    HoldingTransport transport;

    Shared()
    {
        bytes.SetSize(kTotal);
        FillRandom(bytes.Memory(), kTotal);
        SetWQHClipboardTransport(&transport);
        editor = std::make_unique<TWQHexEditorEx>();
        editor->resize(800, 600);
    }

    // 48 MiB loaded, the caret in the middle, nothing selected, the block on the clipboard.
    bool Prepare()
    {
        platform::TMemoryStream data;
        data.SetSize(kData);
        std::memcpy(data.Memory(), bytes.Memory(), kData);
        data.SetPosition(0);
        editor->LoadFromStream(data);
        editor->SetSelStart(kCaret);
        editor->SetSelEnd(kCaret);
        editor->ResetSelection(false);
        transport.held = TWQHDataObject::Create(bytes.Memory() + kData, kBlock, QString(), false, false);
        return editor->DataSize() == kData && editor->SelCount() == 0 && editor->GetCursorPos() == kCaret;
    }
};

Shared& Data()
{
    static Shared shared;
    return shared;
}

void BM_MemcpyFreshReference(benchmark::State& s)
{
    MemcpyIntoFresh(s, Data().bytes.Memory(), kTotal);
}

void BM_PasteOwnBlockAtCaret(benchmark::State& s)
{
    Shared& d = Data();
    for (auto _ : s) {
        s.PauseTiming();
        const bool ready = d.Prepare();
        s.ResumeTiming();
        if (!ready) {
            s.SkipWithError("could not place the caret");
            break;
        }
        if (!d.editor->CBPaste()) {
            s.SkipWithError("CBPaste refused");
            break;
        }
        s.PauseTiming();
        // The block must have landed at the caret, whole.
        unsigned char probe[2];
        d.editor->ReadBuffer(probe, kCaret + kBlock - 1, 2);
        const auto* src = reinterpret_cast<const unsigned char*>(d.bytes.Memory());
        const bool placed = d.editor->DataSize() == kTotal && probe[0] == src[kTotal - 1] && probe[1] == src[kCaret];
        s.ResumeTiming();
        if (!placed) {
            s.SkipWithError("pasted data is wrong");
            break;
        }
    }
}

} // namespace

#define QV_BENCH(fn) BENCHMARK(fn)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10)
QV_BENCH(BM_MemcpyFreshReference);
QV_BENCH(BM_PasteOwnBlockAtCaret);

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    Data();
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\nour time / reference time (reference: one memcpy of 64 MiB into a freshly allocated block;\n"
                "target: paste of a 16 MiB own block into 48 MiB at the caret at most 4x):\n");
    std::printf("  PasteOwnBlockAtCaret / fresh memcpy  %6.2fx\n",
                reporter.Ratio("BM_PasteOwnBlockAtCaret", "BM_MemcpyFreshReference"));
    Data().editor.reset();
    SetWQHClipboardTransport(nullptr);
    benchmark::Shutdown();
    return 0;
}

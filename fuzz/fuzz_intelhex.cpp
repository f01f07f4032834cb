// ReadIntelHexFile: any file content loads into a small buffer without touching a
// byte outside it, shows only its own messages, and what it loads survives a
// write and a second read.
#include "imagefiles/intelhex.h"
#include "platform/seams.h"

#include <QString>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kMaxSize = 4096;
constexpr int kGuard = 64;

// Records the boxes instead of opening them.
class BoxCounter final : public platform::UserInterface {
public:
    platform::MsgResult messageBox(const QString& text, const QString& caption, platform::MsgIcon icon,
                                   platform::MsgButtons) override
    {
        if (caption != QStringLiteral("Error") || icon != platform::MsgIcon::Error)
            std::abort();
        texts.push_back(text);
        return platform::MsgResult::Ok;
    }
    std::optional<QString> openFileName(const platform::FileDialogOptions&) override { return std::nullopt; }
    std::optional<QString> saveFileName(const platform::FileDialogOptions&) override { return std::nullopt; }
    void showException(const QString&) override { std::abort(); }
    std::vector<QString> texts;
};

const std::string& folder()
{
    static const std::string path = [] {
        char name[] = "/tmp/qv750-fuzz-intelhex-XXXXXX";
        if (!::mkdtemp(name))
            std::abort();
        return std::string(name);
    }();
    return path;
}

bool known(const QString& text)
{
    static const char* texts[] = {"File Read Operation Failed", "Error reading File", "Illegal Line found",
                                  "Illegal Char in File", "Invalid Record type", "File exceeds Maximum Size",
                                  "Checksum Error type 0", "Invalid EOF Record", "Invalid Record Length for type 2",
                                  "Checksum Error type 2", "Invalid Record Length for type 4",
                                  "Checksum Error type 4", "Checksum Error"};
    for (const char* t : texts)
        if (text == QLatin1String(t))
            return true;
    return false;
}

int load(const QString& path, std::vector<unsigned char>& area)
{
    area.assign(kMaxSize + 2 * kGuard, 0xA5);
    std::memset(area.data() + kGuard, 0xFF, kMaxSize);
    platform::TFileStream* slot = nullptr;
    const int result = ReadIntelHexFile(&slot, path, area.data() + kGuard, kMaxSize);
    if (slot)
        std::abort();
    for (int i = 0; i < kGuard; ++i)
        if (area[i] != 0xA5 || area[kGuard + kMaxSize + i] != 0xA5)
            std::abort();
    return result;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string in = folder() + "/in.hex";
    FILE* f = std::fopen(in.c_str(), "wb");
    if (!f)
        return 0;
    if (size)
        std::fwrite(data, 1, size, f);
    std::fclose(f);

    BoxCounter boxes;
    platform::setUserInterface(&boxes);
    std::vector<unsigned char> first;
    const int result = load(QString::fromStdString(in), first);
    if (result < 0 || result > kMaxSize)
        std::abort();
    // A failure shows one box (two for a file that ends early); success none.
    const std::size_t allowed = 1 ? 2 : 1;
    if (boxes.texts.size() > allowed || (result > 0 && !boxes.texts.empty()))
        std::abort();
    for (const QString& text : boxes.texts)
        if (!known(text))
            std::abort();

    if (result > 0) {
        const std::string out = folder() + "/out.hex";
        platform::TFileStream* slot = nullptr;
        if (!WriteIntelHexFile(&slot, QString::fromStdString(out), first.data() + kGuard, result) || slot)
            std::abort();
        std::vector<unsigned char> second;
        const int again = load(QString::fromStdString(out), second);
        if (again > result || !boxes.texts.empty()
            || std::memcmp(first.data() + kGuard, second.data() + kGuard, kMaxSize) != 0)
            std::abort();
    }
    platform::setUserInterface(nullptr);
    return 0;
}

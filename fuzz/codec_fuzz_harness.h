#pragma once
// Shared body of the image file reader targets: any file content loads into a
// small buffer without touching a byte outside it, shows only the reader's own
// messages, and what it loads survives a write and a second read.
#include "platform/seams.h"
#include "platform/streams.h"

#include <QString>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

namespace codecfuzz {

constexpr int kMaxSize = 4096;
constexpr int kGuard = 64;

// What differs between the targets. read/write have the shape of
// ReadIntelHexFile / WriteIntelHexFile.
template <class Read, class Write>
struct Codec {
    const char* tag;       // names the scratch folder
    const char* extension; // of the scratch files, with the dot
    Read read;
    Write write;
    std::vector<const char*> messages; // every text the reader may show
    std::size_t maxBoxes;              // boxes one failed read may show
};
template <class Read, class Write>
Codec(const char*, const char*, Read, Write, std::vector<const char*>, std::size_t) -> Codec<Read, Write>;

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

inline const std::string& folder(const char* tag)
{
    static const std::string path = [tag] {
        std::string pattern = std::string("/tmp/qv750-fuzz-") + tag + "-XXXXXX";
        if (!::mkdtemp(pattern.data()))
            std::abort();
        return pattern;
    }();
    return path;
}

inline bool known(const std::vector<const char*>& messages, const QString& text)
{
    for (const char* t : messages)
        if (text == QLatin1String(t))
            return true;
    return false;
}

template <class Read>
int load(Read read, const QString& path, std::vector<unsigned char>& area)
{
    area.assign(kMaxSize + 2 * kGuard, 0xA5);
    std::memset(area.data() + kGuard, 0xFF, kMaxSize);
    platform::TFileStream* slot = nullptr;
    const int result = read(&slot, path, area.data() + kGuard, kMaxSize);
    if (slot)
        std::abort();
    for (int i = 0; i < kGuard; ++i)
        if (area[i] != 0xA5 || area[kGuard + kMaxSize + i] != 0xA5)
            std::abort();
    return result;
}

template <class Read, class Write>
int run(const Codec<Read, Write>& codec, const std::uint8_t* data, std::size_t size)
{
    const std::string in = folder(codec.tag) + "/in" + codec.extension;
    FILE* f = std::fopen(in.c_str(), "wb");
    if (!f)
        return 0;
    if (size)
        std::fwrite(data, 1, size, f);
    std::fclose(f);

    BoxCounter boxes;
    platform::setUserInterface(&boxes);
    std::vector<unsigned char> first;
    const int result = load(codec.read, QString::fromStdString(in), first);
    if (result < 0 || result > kMaxSize)
        std::abort();
    // A failure shows at most maxBoxes boxes; success none.
    if (boxes.texts.size() > codec.maxBoxes || (result > 0 && !boxes.texts.empty()))
        std::abort();
    for (const QString& text : boxes.texts)
        if (!known(codec.messages, text))
            std::abort();

    if (result > 0) {
        const std::string out = folder(codec.tag) + "/out" + codec.extension;
        platform::TFileStream* slot = nullptr;
        if (!codec.write(&slot, QString::fromStdString(out), first.data() + kGuard, result) || slot)
            std::abort();
        std::vector<unsigned char> second;
        const int again = load(codec.read, QString::fromStdString(out), second);
        if (again > result || !boxes.texts.empty()
            || std::memcmp(first.data() + kGuard, second.data() + kGuard, kMaxSize) != 0)
            std::abort();
    }
    platform::setUserInterface(nullptr);
    return 0;
}

} // namespace codecfuzz

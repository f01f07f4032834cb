#pragma once
// Helpers shared by the image file suites.
#include "tests/support/fakes.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace platform {
class TFileStream;
}

namespace imagetest {

// A temp dir, the platform fakes and a buffer with guard bytes on both sides
// so that a write outside [0, maxSize) shows up.
class CodecTest : public ::testing::Test {
protected:
    static constexpr std::size_t kGuard = 256;

    QString Path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }

    QString WriteText(const std::string& text, const char* name = "image.txt")
    {
        const QString path = Path(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text.data(), static_cast<qint64>(text.size()));
        return path;
    }

    static std::string ReadText(const QString& path)
    {
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    }

    // Fresh guarded buffer of maxSize bytes, filled with 0xFF like the image.
    unsigned char* Buffer(std::size_t maxSize)
    {
        storage.assign(maxSize + 2 * kGuard, 0xA5);
        std::fill(storage.begin() + kGuard, storage.begin() + kGuard + maxSize, 0xFF);
        size = maxSize;
        return storage.data() + kGuard;
    }
    bool GuardsIntact() const
    {
        for (std::size_t i = 0; i < kGuard; ++i)
            if (storage[i] != 0xA5 || storage[kGuard + size + i] != 0xA5)
                return false;
        return true;
    }
    const unsigned char* Data() const { return storage.data() + kGuard; }

    // Runs a reader on /proc/self/mem, whose read at address 0 fails with
    // EIO; the stream slot must come back empty.
    int ReadUnreadable(int (*reader)(platform::TFileStream**, const QString&, unsigned char*, int))
    {
        platform::TFileStream* slot = nullptr;
        const int result = reader(&slot, QStringLiteral("/proc/self/mem"), Buffer(4096), 4096);
        EXPECT_EQ(slot, nullptr);
        ExpectOnlyErrorBoxes();
        return result;
    }

    std::vector<QString> Boxes() const { return fakes.ui.boxTexts(); }
    void ExpectOnlyErrorBoxes() const
    {
        for (const auto& box : fakes.ui.boxes) {
            EXPECT_EQ(box.caption, QStringLiteral("Error"));
            EXPECT_EQ(box.icon, platform::MsgIcon::Error);
            EXPECT_EQ(box.buttons, platform::MsgButtons::Ok);
        }
    }

    testsupport::ScopedPlatformFakes fakes;
    QTemporaryDir dir;
    std::vector<unsigned char> storage;
    std::size_t size = 0;
};

inline std::vector<QString> Texts(std::initializer_list<const char*> texts)
{
    std::vector<QString> out;
    for (const char* t : texts)
        out.push_back(QString::fromLatin1(t));
    return out;
}

// Random bytes with runs of 0xFF long enough to blank out whole records.
inline std::vector<unsigned char> ImageData(std::size_t n, unsigned seed)
{
    std::mt19937 rng(seed);
    std::vector<unsigned char> data(n);
    for (std::size_t i = 0; i < n;) {
        const std::size_t run = 1 + rng() % 200;
        const bool blank = rng() % 3 == 0;
        for (std::size_t j = 0; j < run && i < n; ++j, ++i)
            data[i] = blank ? 0xFF : static_cast<unsigned char>(rng());
    }
    return data;
}

// End of the last `step`-byte block that holds a byte other than 0xFF.
inline std::size_t ExpectedEnd(const std::vector<unsigned char>& data, std::size_t step)
{
    std::size_t end = 0;
    for (std::size_t block = 0; block < data.size(); block += step) {
        const std::size_t stop = std::min(data.size(), block + step);
        for (std::size_t i = block; i < stop; ++i)
            if (data[i] != 0xFF) {
                end = stop;
                break;
            }
    }
    return end;
}

inline std::string Hex2(unsigned v)
{
    static const char* d = "0123456789ABCDEF";
    return {d[(v >> 4) & 15], d[v & 15]};
}

} // namespace imagetest

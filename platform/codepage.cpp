#include "platform/codepage.h"

#include <QStringDecoder>
#include <algorithm>
#include <cerrno>
#include <iconv.h>

namespace platform {
namespace {

// One iconv conversion per call: the texts are small and a handle is not
// safe to share between threads.
class Iconv {
public:
    Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Iconv()
    {
        if (ok())
            iconv_close(cd_);
    }
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;

    // Converts all of input. Where the converter refuses a sequence, or one
    // is cut short by the end, replacement goes out and skip(at) input bytes
    // are passed over. Without a converter only ASCII goes through.
    template <class Skip>
    QByteArray convertAll(QByteArrayView input, QByteArrayView replacement, Skip skip)
    {
        QByteArray out;
        out.reserve(input.size() * 3 / 2 + 16);
        const char* in = input.data();
        size_t left = static_cast<size_t>(input.size());
        const auto refuse = [&] {
            out += replacement;
            const size_t n = std::clamp<size_t>(skip(in), 1, left);
            in += n;
            left -= n;
        };
        while (left > 0) {
            if (!ok()) {
                if (static_cast<unsigned char>(*in) < 0x80) {
                    out += *in++;
                    --left;
                } else {
                    refuse();
                }
                continue;
            }
            char buffer[4096];
            char* inPtr = const_cast<char*>(in);
            char* outPtr = buffer;
            size_t outLeft = sizeof buffer;
            const size_t rc = iconv(cd_, &inPtr, &left, &outPtr, &outLeft);
            const int error = errno;
            out.append(buffer, static_cast<qsizetype>(outPtr - buffer));
            in = inPtr;
            if (rc != static_cast<size_t>(-1) || error == E2BIG)
                continue;
            iconv(cd_, nullptr, nullptr, nullptr, nullptr); // reset the shift state
            if (error == EINVAL) { // cut short: nothing more can follow
                out += replacement;
                break;
            }
            refuse();
        }
        return out;
    }

private:
    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    iconv_t cd_;
};

// glibc knows code page 936 as GBK.
const char* const kAnsi = "GBK";

// Length of the UTF-8 sequence that starts with lead byte c (1 for a stray byte).
size_t utf8Length(char c)
{
    const auto u = static_cast<unsigned char>(c);
    if (u >= 0xF0)
        return 4;
    if (u >= 0xE0)
        return 3;
    if (u >= 0xC0)
        return 2;
    return 1;
}

QString decodeUtf16(QByteArrayView bytes, QStringDecoder::Encoding encoding)
{
    QStringDecoder decoder(encoding, QStringDecoder::Flag::Stateless);
    return decoder.decode(bytes);
}

} // namespace

QStringList SplitTextLines(const QString& text)
{
    QStringList lines;
    const qsizetype n = text.size();
    qsizetype start = 0;
    qsizetype i = 0;
    while (i < n) {
        const QChar c = text[i];
        if (c == u'\r' || c == u'\n') {
            lines << text.mid(start, i - start);
            if (c == u'\r' && i + 1 < n && text[i + 1] == u'\n')
                ++i;
            start = ++i;
        } else {
            ++i;
        }
    }
    if (start < n)
        lines << text.mid(start);
    return lines;
}

QString AnsiToString(const QByteArray& ansi)
{
    // A refused byte is skipped alone, so the next one may start a character.
    return QString::fromUtf8(Iconv("UTF-8", kAnsi).convertAll(ansi, "\xEF\xBF\xBD", [](const char*) { return 1; }));
}

QByteArray StringToAnsi(const QString& text)
{
    // Lone surrogates become U+FFFD here, which GBK cannot hold: '?'.
    return Iconv(kAnsi, "UTF-8").convertAll(text.toUtf8(), "?", [](const char* at) { return utf8Length(*at); });
}

QStringList DecodeTextLines(const QByteArray& fileBytes)
{
    const QByteArrayView bytes(fileBytes);
    QString text;
    if (bytes.startsWith("\xEF\xBB\xBF"))
        text = QString::fromUtf8(bytes.sliced(3));
    else if (bytes.startsWith("\xFF\xFE"))
        text = decodeUtf16(bytes.sliced(2), QStringDecoder::Utf16LE);
    else if (bytes.startsWith("\xFE\xFF"))
        text = decodeUtf16(bytes.sliced(2), QStringDecoder::Utf16BE);
    else
        text = AnsiToString(fileBytes);
    return SplitTextLines(text);
}

} // namespace platform

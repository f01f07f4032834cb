#include "platform/codepage.h"

#include <QStringDecoder>
#include <algorithm>
#include <cerrno>
#include <iconv.h>
#include <string_view>

namespace platform {
namespace {

// One iconv conversion per call: the texts are small and a handle is not
// safe to share between threads.
class Iconv {
public:
    Iconv(const char* to, const char* from)
    {
        cd_ = iconv_open(to, from);
        if (cd_ == reinterpret_cast<iconv_t>(-1) && std::string_view(from) == "CP936")
            cd_ = iconv_open(to, "GBK");
        if (cd_ == reinterpret_cast<iconv_t>(-1) && std::string_view(to) == "CP936")
            cd_ = iconv_open("GBK", from);
    }
    ~Iconv()
    {
        if (ok())
            iconv_close(cd_);
    }
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;
    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    // Converts as much as possible; returns false on an invalid or unmappable
    // sequence (at *in) or a sequence cut short by the end of the input.
    enum class Stop { Done, Invalid, Incomplete };
    Stop convert(const char*& in, size_t& inLeft, QByteArray& out)
    {
        char buffer[4096];
        while (inLeft > 0) {
            char* inPtr = const_cast<char*>(in);
            char* outPtr = buffer;
            size_t outLeft = sizeof buffer;
            const size_t rc = iconv(cd_, &inPtr, &inLeft, &outPtr, &outLeft);
            const int error = errno;
            out.append(buffer, static_cast<qsizetype>(outPtr - buffer));
            in = inPtr;
            if (rc != static_cast<size_t>(-1))
                continue;
            if (error == E2BIG)
                continue;
            iconv(cd_, nullptr, nullptr, nullptr, nullptr); // reset the shift state
            return error == EINVAL ? Stop::Incomplete : Stop::Invalid;
        }
        return Stop::Done;
    }

private:
    iconv_t cd_;
};

const char* const kAnsi = "CP936";

// Length of the UTF-8 sequence that starts with lead byte c (1 for a stray byte).
int utf8Length(unsigned char c)
{
    if (c >= 0xF0)
        return 4;
    if (c >= 0xE0)
        return 3;
    if (c >= 0xC0)
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
    Iconv cd("UTF-8", kAnsi);
    if (!cd.ok()) {
        // Without a GBK converter the ASCII part still reads right.
        QString out;
        for (char c : ansi)
            out += static_cast<unsigned char>(c) < 0x80 ? QChar(c) : QChar(QChar::ReplacementCharacter);
        return out;
    }
    QByteArray utf8;
    utf8.reserve(ansi.size() * 3 / 2 + 16);
    const char* in = ansi.constData();
    size_t left = static_cast<size_t>(ansi.size());
    for (;;) {
        const auto stop = cd.convert(in, left, utf8);
        if (stop == Iconv::Stop::Done)
            break;
        utf8 += "\xEF\xBF\xBD"; // U+FFFD
        if (stop == Iconv::Stop::Incomplete)
            break;
        ++in;
        --left;
    }
    return QString::fromUtf8(utf8);
}

QByteArray StringToAnsi(const QString& text)
{
    // Lone surrogates become U+FFFD here, which GBK cannot hold: '?'.
    const QByteArray utf8 = text.toUtf8();
    Iconv cd(kAnsi, "UTF-8");
    QByteArray out;
    out.reserve(utf8.size() + 16);
    if (!cd.ok()) {
        for (qsizetype i = 0; i < utf8.size(); i += utf8Length(static_cast<unsigned char>(utf8[i])))
            out += static_cast<unsigned char>(utf8[i]) < 0x80 ? utf8[i] : '?';
        return out;
    }
    const char* in = utf8.constData();
    size_t left = static_cast<size_t>(utf8.size());
    for (;;) {
        const auto stop = cd.convert(in, left, out);
        if (stop == Iconv::Stop::Done)
            break;
        out += '?';
        if (stop == Iconv::Stop::Incomplete)
            break;
        const size_t skip = std::min<size_t>(left, utf8Length(static_cast<unsigned char>(*in)));
        in += skip;
        left -= skip;
    }
    return out;
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

#include "platform/inifile.h"

#include "platform/codepage.h"
#include "platform/convert.h"
#include "platform/replacefile.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace platform {
namespace {

// A settings file larger than this is not ours: it reads as empty and is
// never overwritten.
constexpr qint64 kMaxFileSize = 64 * 1024 * 1024;

// One line as the file holds it: its bytes are written back untouched unless
// the program changes its value, so other sections, keys in the ANSI code
// page and bytes that decode to nothing survive a save.
struct Line {
    enum class Kind { Other, Section, Entry };
    QByteArray raw;  // the line's bytes without its line end
    QByteArray eol;  // "\r\n", "\n", "\r", or empty for a last line without one
    Kind kind = Kind::Other;
    QString name;             // section name or key, decoded and trimmed
    qsizetype valueStart = 0; // Entry: byte index of the value in raw
};

bool sameName(const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

// The structure is read from the decoded text. '=' is never part of a
// multi-byte character in UTF-8 or GBK (nor swallowed by a refused byte), so
// the first '=' of the text is the first '=' byte of the line.
Line parseLine(QByteArray raw, const QString& text)
{
    Line line;
    line.raw = std::move(raw);
    qsizetype i = 0;
    while (i < text.size() && (text[i] == u' ' || text[i] == u'\t'))
        ++i;
    if (i < text.size() && text[i] == u'[') {
        const qsizetype close = text.indexOf(u']', i + 1);
        if (close > i) {
            line.kind = Line::Kind::Section;
            line.name = text.mid(i + 1, close - i - 1).trimmed();
        }
        return line;
    }
    if (i < text.size() && (text[i] == u';' || text[i] == u'#'))
        return line; // comment
    const qsizetype eq = text.indexOf(u'=');
    if (eq >= 0) {
        line.kind = Line::Kind::Entry;
        line.name = text.left(eq).trimmed();
        line.valueStart = line.raw.indexOf('=') + 1;
    }
    return line;
}

// Names and values must stay on their own line and not pose as a section or
// a second key when the file is read back.
QString oneLine(QString s)
{
    s.replace(u'\r', u' ');
    s.replace(u'\n', u' ');
    return s;
}

QString cleanName(const QString& s)
{
    QString out = oneLine(s).trimmed();
    out.replace(u'=', u'_');
    return out;
}

QString cleanSection(const QString& s)
{
    QString out = oneLine(s).trimmed();
    out.replace(u']', u'_');
    return out;
}

// Reads the whole file. Returns false when the file exists but cannot be
// read whole; a missing file reads as empty.
bool readFile(const QString& path, QByteArray& bytes, bool& exists)
{
    const QByteArray native = QFile::encodeName(path);
    exists = false;
    // Non-blocking, so a pipe in the file's place cannot stall the start-up.
    const int fd = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        exists = errno != ENOENT && errno != ENOTDIR;
        return !exists;
    }
    exists = true;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > kMaxFileSize) {
        ::close(fd);
        return false;
    }
    bool ok = true;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            ok = false;
            break;
        }
        if (n == 0)
            break;
        bytes.append(buffer, n);
        if (bytes.size() > kMaxFileSize) {
            ok = false;
            break;
        }
    }
    ::close(fd);
    return ok;
}

bool writeAll(int fd, const QByteArray& bytes)
{
    const char* p = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, static_cast<size_t>(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        left -= n;
    }
    return true;
}

} // namespace

struct TIniFile::Impl {
    QString fileName;
    std::vector<Line> lines;
    bool dirty = false;
    bool readOnly = false; // the file exists but could not be read: never overwrite it
    bool bom = false;
    bool crlf = false;
    bool utf8 = true; // the file's encoding, which new text is written in too

    QString decode(const QByteArray& bytes) const
    {
        return utf8 ? QString::fromUtf8(bytes) : AnsiToString(bytes);
    }
    QByteArray encode(const QString& text) const { return utf8 ? text.toUtf8() : StringToAnsi(text); }
    Line newLine(const QString& text) const
    {
        Line line = parseLine(encode(text), text);
        line.eol = crlf ? "\r\n" : "\n";
        return line;
    }

    // Index of the entry key in the first section named section that has it.
    qsizetype findEntry(const QString& section, const QString& key) const
    {
        bool inSection = false;
        for (size_t i = 0; i < lines.size(); ++i) {
            const Line& line = lines[i];
            if (line.kind == Line::Kind::Section)
                inSection = sameName(line.name, section);
            else if (inSection && line.kind == Line::Kind::Entry && sameName(line.name, key))
                return static_cast<qsizetype>(i);
        }
        return -1;
    }

    qsizetype findSection(const QString& section) const
    {
        for (size_t i = 0; i < lines.size(); ++i)
            if (lines[i].kind == Line::Kind::Section && sameName(lines[i].name, section))
                return static_cast<qsizetype>(i);
        return -1;
    }

    std::optional<QString> value(const QString& section, const QString& key) const
    {
        const qsizetype i = findEntry(section, key);
        if (i < 0)
            return std::nullopt;
        return decode(lines[i].raw.mid(lines[i].valueStart));
    }

    void load()
    {
        QByteArray bytes;
        bool exists = false;
        if (!readFile(fileName, bytes, exists)) {
            readOnly = true;
            return;
        }
        if (bytes.startsWith("\xEF\xBB\xBF")) {
            bom = true;
            bytes.remove(0, 3);
        }
        crlf = bytes.contains("\r\n");
        utf8 = bytes.isValidUtf8();
        // Lines end at CR LF, LF or CR; neither byte occurs inside a
        // character of UTF-8 or GBK.
        const qsizetype n = bytes.size();
        qsizetype start = 0;
        while (start < n) {
            qsizetype end = start;
            while (end < n && bytes[end] != '\r' && bytes[end] != '\n')
                ++end;
            QByteArray raw = bytes.mid(start, end - start);
            const QString text = decode(raw);
            Line line = parseLine(std::move(raw), text);
            qsizetype next = end;
            if (next < n)
                next += (bytes[next] == '\r' && next + 1 < n && bytes[next + 1] == '\n') ? 2 : 1;
            line.eol = bytes.mid(end, next - end);
            lines.push_back(std::move(line));
            start = next;
        }
    }

    QByteArray serialize() const
    {
        QByteArray out;
        if (bom)
            out += "\xEF\xBB\xBF";
        for (size_t i = 0; i < lines.size(); ++i) {
            out += lines[i].raw;
            // A last line without a line end gets one when lines follow it now.
            out += lines[i].eol.isEmpty() && i + 1 < lines.size() ? QByteArray(crlf ? "\r\n" : "\n") : lines[i].eol;
        }
        return out;
    }

    bool save() const
    {
        if (readOnly || fileName.isEmpty())
            return false;
        TReplaceFile replace(fileName);
        const int fd = replace.OpenForWrite();
        if (fd < 0)
            return false;
        bool ok = writeAll(fd, serialize());
        ok = ::close(fd) == 0 && ok;
        return ok && replace.Commit();
    }

    void write(const QString& section, const QString& key, const QString& value)
    {
        const QString v = oneLine(value);
        const qsizetype entry = findEntry(section, key);
        if (entry >= 0) {
            Line& line = lines[entry];
            // Keep the key as the file spells it, in its own bytes.
            line.raw = line.raw.left(line.valueStart) + encode(v);
            dirty = true;
            return;
        }
        Line added = newLine(cleanName(key) + u'=' + v);
        const qsizetype header = findSection(section);
        if (header < 0) {
            lines.push_back(newLine(u'[' + cleanSection(section) + u']'));
            lines.push_back(std::move(added));
            dirty = true;
            return;
        }
        // After the last non-blank line of the section, so blank lines
        // before the next section stay there.
        qsizetype at = header + 1;
        for (qsizetype i = header + 1; i < static_cast<qsizetype>(lines.size()); ++i) {
            if (lines[i].kind == Line::Kind::Section)
                break;
            if (!lines[i].raw.trimmed().isEmpty())
                at = i + 1;
        }
        lines.insert(lines.begin() + at, std::move(added));
        dirty = true;
    }
};

TIniFile::TIniFile(const QString& fileName) : d(std::make_unique<Impl>())
{
    d->fileName = fileName;
    d->load();
}

TIniFile::~TIniFile()
{
    try {
        if (d->dirty)
            d->save();
    } catch (...) {
        // Nothing may leave a destructor; a failed save stays silent.
    }
}

QString TIniFile::ReadString(const QString& section, const QString& key, const QString& defaultValue) const
{
    return d->value(section, key).value_or(defaultValue);
}

int TIniFile::ReadInteger(const QString& section, const QString& key, int defaultValue) const
{
    const auto text = d->value(section, key);
    if (!text)
        return defaultValue;
    // The system's profile reader hands values over without surrounding blanks.
    const QString number = text->trimmed();
    // Only "$", "0x" and "0X" mark hexadecimal here; the bare "x" that the
    // general conversion also takes is no number in a settings file.
    const qsizetype afterSign = number.startsWith(u'+') || number.startsWith(u'-') ? 1 : 0;
    if (number.mid(afterSign, 1).compare(QStringLiteral("x"), Qt::CaseInsensitive) == 0)
        return defaultValue;
    return TryStrToInt(number).value_or(defaultValue);
}

bool TIniFile::ReadBool(const QString& section, const QString& key, bool defaultValue) const
{
    return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

bool TIniFile::SectionExists(const QString& section) const { return d->findSection(section) >= 0; }

bool TIniFile::ValueExists(const QString& section, const QString& key) const
{
    return d->findEntry(section, key) >= 0;
}

void TIniFile::WriteString(const QString& section, const QString& key, const QString& value)
{
    d->write(section, key, value);
}

void TIniFile::WriteInteger(const QString& section, const QString& key, int value)
{
    d->write(section, key, QString::number(value));
}

void TIniFile::WriteBool(const QString& section, const QString& key, bool value)
{
    d->write(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

bool TIniFile::UpdateFile()
{
    const bool ok = d->save();
    if (ok)
        d->dirty = false;
    return ok;
}

const QString& TIniFile::FileName() const { return d->fileName; }

void TIniFile::MoveTo(const QString& fileName)
{
    d->fileName = fileName;
    d->readOnly = false;
    d->dirty = true;
}

} // namespace platform

#include "platform/inifile.h"

#include "platform/codepage.h"
#include "platform/convert.h"
#include "platform/replacefile.h"

#include <QFile>
#include <QStringDecoder>
#include <QStringList>
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

struct Line {
    enum class Kind { Other, Section, Entry };
    QString text;
    Kind kind = Kind::Other;
    QString name;  // section name or key, trimmed
    qsizetype valueStart = 0; // Entry: index of the value in text
};

bool sameName(const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

Line parseLine(const QString& text)
{
    Line line;
    line.text = text;
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
        line.valueStart = eq + 1;
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

// UTF-8 when the bytes are valid UTF-8, else the ANSI code page (GBK).
QString decodeSettings(const QByteArray& bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder.decode(bytes);
    return decoder.hasError() ? AnsiToString(bytes) : text;
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
        return lines[i].text.mid(lines[i].valueStart);
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
        const QString text = decodeSettings(bytes);
        const QStringList texts = SplitTextLines(text);
        lines.reserve(static_cast<size_t>(texts.size()));
        for (const QString& t : texts)
            lines.push_back(parseLine(t));
    }

    QByteArray serialize() const
    {
        const char* eol = crlf ? "\r\n" : "\n";
        QByteArray out;
        if (bom)
            out += "\xEF\xBB\xBF";
        for (const Line& line : lines) {
            out += line.text.toUtf8();
            out += eol;
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
            // Keep the key as the file spells it.
            line.text = line.text.left(line.valueStart) + v;
            dirty = true;
            return;
        }
        const QString k = cleanName(key);
        Line added = parseLine(k + u'=' + v);
        const qsizetype header = findSection(section);
        if (header < 0) {
            lines.push_back(parseLine(u'[' + cleanSection(section) + u']'));
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
            if (!lines[i].text.trimmed().isEmpty())
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
    return TryStrToInt(text->trimmed()).value_or(defaultValue);
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

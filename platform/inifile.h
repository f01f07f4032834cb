#pragma once
// INI settings file with the class library's reading rules: sections in
// brackets, key=value lines, case-insensitive names, integers in decimal or
// hexadecimal ("$", "0x", "0X"), booleans true for any non-zero integer.
// Lines it does not change are written back byte for byte; new text goes out
// in the file's own encoding (UTF-8, else the ANSI code page).
#include <QString>
#include <memory>

namespace platform {

class TIniFile {
public:
    // Reads the file if it exists; a missing or unreadable file is empty.
    explicit TIniFile(const QString& fileName);
    // Writes pending changes (as UpdateFile does).
    ~TIniFile();
    TIniFile(const TIniFile&) = delete;
    TIniFile& operator=(const TIniFile&) = delete;

    QString ReadString(const QString& section, const QString& key, const QString& defaultValue) const;
    int ReadInteger(const QString& section, const QString& key, int defaultValue) const;
    bool ReadBool(const QString& section, const QString& key, bool defaultValue) const;
    bool SectionExists(const QString& section) const;
    bool ValueExists(const QString& section, const QString& key) const;

    void WriteString(const QString& section, const QString& key, const QString& value);
    void WriteInteger(const QString& section, const QString& key, int value); // signed decimal
    void WriteBool(const QString& section, const QString& key, bool value);   // "1" / "0"

    // Writes the file: through a temporary name and a rename where that keeps
    // the file as it was, so a crash never leaves half a file; else in place.
    // A failure to write stays silent; returns false then.
    bool UpdateFile();
    const QString& FileName() const;
    // Makes fileName the file written from now on, with everything read so
    // far (nothing is written yet).
    void MoveTo(const QString& fileName);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace platform

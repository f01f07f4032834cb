#pragma once
// Replaces a file in one step, so that a failed or interrupted write leaves
// the old file whole: the new content goes to a fresh temporary file beside
// the target, which takes the old file's permissions and is renamed over it.
#include <QString>

namespace platform {

class TReplaceFile {
public:
    // Picks the target (through a symbolic link: the file it points to, so
    // the link stays a link) and creates the temporary file exclusively,
    // never through a link someone placed under its name. When the folder
    // does not allow it, TempName() is still set: opening it reports why.
    explicit TReplaceFile(const QString& fileName);
    // Removes the temporary file unless Commit() succeeded.
    ~TReplaceFile();
    TReplaceFile(const TReplaceFile&) = delete;
    TReplaceFile& operator=(const TReplaceFile&) = delete;

    const QString& Target() const { return target_; }
    const QString& TempName() const { return temp_; }
    // Writes the temporary file to disk, gives it the old file's permissions
    // and renames it over the target. False (temporary file removed) on any
    // failure, the old file untouched.
    bool Commit();

private:
    QString target_;
    QString temp_;
    bool created_ = false;
    bool committed_ = false;
};

} // namespace platform

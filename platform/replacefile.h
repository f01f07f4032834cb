#pragma once
// Saving over a file. Where a temporary file renamed over the target keeps
// everything an in-place write would keep, the new content goes to a fresh
// temporary file beside the target, so that a failed or interrupted write
// leaves the old file whole. Anywhere else the target is written in place.
#include <QString>
#include <cstdint>

namespace platform {

// What the choice between the two ways depends on.
struct SaveTargetFacts {
    bool exists = false;             // the target exists (links followed)
    bool danglingLink = false;       // the name is a symbolic link to nothing
    bool regular = false;            // a regular file (not a device, FIFO, ...)
    std::uint64_t links = 0;         // hard links
    bool ownedByUser = false;        // owner is the effective user
    bool groupKeepable = false;      // a new file can be given the old group
    bool extendedAttributes = false; // ACLs, labels and the like
    bool fileWritable = false;       // access(W_OK) on the target
    bool folderWritable = false;     // access(W_OK | X_OK) on its folder
};

enum class SaveMethod { Replace, InPlace };

// Looks at the target as the save would find it.
SaveTargetFacts InspectSaveTarget(const QString& fileName);
// Replace only what a rename would carry over whole: a regular file with one
// link, owned by the user, writable, in a folder the user may write (or a
// new file in such a folder). Everything else is written in place, where the
// system's own checks apply.
SaveMethod ChooseSaveMethod(const SaveTargetFacts& facts);

class TReplaceFile {
public:
    // Decides how to save over fileName. When replacing: picks the target
    // (through a symbolic link: the file it points to, so the link stays a
    // link) and creates the temporary file exclusively, never through a link
    // someone placed under its name.
    explicit TReplaceFile(const QString& fileName);
    // Removes the temporary file unless Commit() succeeded.
    ~TReplaceFile();
    TReplaceFile(const TReplaceFile&) = delete;
    TReplaceFile& operator=(const TReplaceFile&) = delete;

    SaveMethod Method() const { return method_; }
    bool Replacing() const { return method_ == SaveMethod::Replace; }
    // The file the user asked for (absolute, links resolved when replacing).
    const QString& Target() const { return target_; }
    // Where the bytes go: the temporary file, or the given name in place.
    const QString& TempName() const { return temp_; }
    // Opens TempName() for writing, truncated (created when in place and
    // missing); a FIFO without a reader fails at once instead of waiting.
    // Returns the descriptor, or -1 with errno set.
    int OpenForWrite() const;
    // Replacing: writes the temporary file to disk, gives it the old file's
    // permissions and group and renames it over the target; false (temporary
    // file removed) on any failure, the old file untouched. In place: the
    // caller checked every write and the close; nothing is left to do.
    bool Commit();

private:
    SaveMethod method_ = SaveMethod::InPlace;
    QString target_;
    QString temp_;
    bool created_ = false;
    bool committed_ = false;
};

} // namespace platform

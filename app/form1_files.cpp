// Image file Open and Save.
#include "app/chipops_plan.h"
#include "app/form1_image_view.h"
#include "app/imagefile_kind.h"
#include "app/unit1.h"
#include "imagefiles/intelhex.h"
#include "imagefiles/srecord.h"
#include "platform/exceptions.h"
#include "platform/replacefile.h"
#include "platform/seams.h"
#include "platform/streams.h"

#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {

const QString ImageFilter =
    QStringLiteral("Binary (*.bin)|*.bin|Intel Hex(*.hex)|*.hex|Bios Rom (*.rom)|*.rom|All files (*.*)|*.*");
const QString WriteErrorText = QStringLiteral("写入文件出错。");

// First byte of a file through the C runtime, -1 for an empty file; nullopt
// when it cannot be opened.
std::optional<int> FirstChar(const QString& fileName)
{
    std::FILE* f = std::fopen(QFile::encodeName(fileName).constData(), "r");
    if (f == nullptr)
        return std::nullopt;
    const int c = std::fgetc(f);
    std::fclose(f);
    return c == EOF ? -1 : c;
}

std::optional<int> LoadRaw(TForm1& form, const QString& fileName, unsigned char* buffer, int maxSize)
{
    platform::TFileStream file(fileName, platform::FileMode::OpenRead);
    const std::int64_t size = file.Size();
    if (size > maxSize) {
        form.ShowError(QStringLiteral("File is too big for Buffer"));
        return std::nullopt;
    }
    std::int64_t total = 0;
    while (total < size) {
        const std::int64_t n = file.Read(buffer + total, size - total);
        if (n <= 0)
            break; // the file shrank under us: keep what came
        total += n;
    }
    return static_cast<int>(total);
}

// Writes count raw bytes; false when any came up short or the close failed.
bool WriteRaw(const QString& fileName, const unsigned char* data, int count)
{
    platform::TFileStream file(fileName, platform::FileMode::Create);
    std::int64_t total = 0;
    while (total < count) {
        const std::int64_t n = file.Write(data + total, count - total);
        if (n <= 0)
            break;
        total += n;
    }
    const bool closed = file.Close();
    return total == count && closed;
}

} // namespace

// The loader behind LoadImageFile; nullopt after a failure it reported in a
// box (a text file without data records is an empty image, not a failure).
static std::optional<int> LoadImage(TForm1& form, const QString& fileName, unsigned char* buffer, int maxSize)
{
    maxSize = std::max(maxSize, 0);
    int firstChar = -1;
    if (NeedsSniffing(fileName)) {
        const std::optional<int> c = FirstChar(fileName);
        if (!c) {
            form.ShowError(QStringLiteral("Can't open File"));
            return std::nullopt;
        }
        firstChar = *c;
    }
    const unsigned errorsBefore = FileErrorsShown();
    int length = 0;
    switch (LoadKindFor(fileName, firstChar)) {
    case ImageKind::IntelHex: length = ReadIntelHexFile(&form.HexStream, fileName, buffer, maxSize); break;
    case ImageKind::SRecord: length = ReadSRecordFile(&form.SrecStream, fileName, buffer, maxSize); break;
    case ImageKind::Raw: return LoadRaw(form, fileName, buffer, maxSize);
    }
    if (length == 0 && FileErrorsShown() != errorsBefore)
        return std::nullopt;
    return length;
}

int TForm1::LoadImageFile(const QString& fileName, unsigned char* buffer, int maxSize)
{
    return LoadImage(*this, fileName, buffer, maxSize).value_or(0);
}

void TForm1::SaveImageFile(const QString& fileName, const unsigned char* data, int count)
{
    const QFileInfo given(fileName);
    if (given.exists()) {
        const auto answer = platform::MessageBox(QStringLiteral("文件已存在,是否覆盖?"), QStringLiteral("Info"),
                                                 platform::MsgIcon::Question, platform::MsgButtons::YesNo);
        if (answer == platform::MsgResult::No)
            return;
    }
    // Where a rename keeps the file as it was, the writers fill a temporary
    // file that replaces the target only when every byte is written, so a
    // failed save leaves the old file whole; elsewhere they write in place.
    platform::TReplaceFile replace(fileName);
    const QString& temp = replace.TempName();
    bool ok = false;
    try {
        switch (SaveKindFor(fileName)) {
        case ImageKind::SRecord: ok = WriteSRecordFile(&SrecStream, temp, data, count); break;
        case ImageKind::IntelHex: ok = WriteIntelHexFile(&HexStream, temp, data, count); break;
        case ImageKind::Raw: ok = WriteRaw(temp, data, count); break;
        }
    } catch (const platform::EFCreateError& e) {
        // The user chose the target; the temporary name would only confuse.
        if (!replace.Replacing())
            throw;
        QString message = e.Message();
        message.replace(temp, replace.Target());
        throw platform::EFCreateError(message);
    }
    if (!ok || !replace.Commit())
        ShowError(WriteErrorText);
}

// Open and Save offer the same list of image kinds, the first one chosen.
static platform::FileDialogOptions ImageDialogOptions(const QString& defaultExt)
{
    platform::FileDialogOptions options;
    options.filter = ImageFilter;
    options.filterIndex = 1;
    options.defaultExt = defaultExt;
    return options;
}

void TForm1::BitBtn1Click()
{
    platform::Guarded([this] {
        CommandScope scope(*this);
        if (!scope.entered())
            return;
        const std::optional<QString> path = platform::ui().openFileName(ImageDialogOptions(QStringLiteral("*.bin")));
        if (!path)
            return;
        // Load into a fresh image and take it only when the load succeeded:
        // any failure (the file cannot be opened, a format error, too big)
        // leaves the current image, its length, the path, the view and the
        // log alone.
        auto image = std::make_unique_for_overwrite<unsigned char[]>(MaxImageSize);
        std::memset(image.get(), 0xFF, MaxImageSize);
        const std::optional<int> length = LoadImage(*this, *path, image.get(), MaxImageSize);
        if (!length)
            return;
        // The scratch image becomes the image; no second copy is made.
        delete[] ImageBuffer;
        ImageBuffer = image.release();
        ImageLength = std::clamp(*length, 0, static_cast<int>(MaxImageSize));
        Edit1->setText(*path);
        ShowImageInView(*this);
        AddLogCompleted(QStringLiteral("打开 ") + *path);
    });
}

void TForm1::BitBtn4Click()
{
    platform::Guarded([this] {
        CommandScope scope(*this);
        if (!scope.entered())
            return;
        const std::optional<QString> path = platform::ui().saveFileName(ImageDialogOptions(QStringLiteral("hex")));
        if (!path)
            return;
        // The chip's size, or the image itself when no usable chip is selected.
        const ChipInfo* chip = SelectedChip();
        const int count = chip != nullptr && chipops::ChipSizeValid(chip->Size, MaxImageSize)
                              ? chip->Size
                              : std::clamp(ImageLength, 0, static_cast<int>(MaxImageSize));
        SaveImageFile(*path, ImageBuffer, count);
    });
}

#include "app/imagefile_kind.h"

namespace {
bool IsExt(const QString& fileName, const char* ext)
{
    return ImageFileExtension(fileName).compare(QLatin1String(ext), Qt::CaseInsensitive) == 0;
}
} // namespace

QString ImageFileExtension(const QString& fileName)
{
    const qsizetype slash = fileName.lastIndexOf(u'/');
    const qsizetype dot = fileName.lastIndexOf(u'.');
    if (dot < 0 || dot < slash)
        return {};
    return fileName.mid(dot);
}

bool NeedsSniffing(const QString& fileName)
{
    // ".src" is what Save writes S-records to, so it must read them back.
    return IsExt(fileName, ".eep") || IsExt(fileName, ".src");
}

ImageKind LoadKindFor(const QString& fileName, int firstChar)
{
    if (NeedsSniffing(fileName)) {
        if (firstChar == ':')
            return ImageKind::IntelHex;
        if (firstChar == 'S')
            return ImageKind::SRecord;
        return ImageKind::Raw;
    }
    if (IsExt(fileName, ".hex"))
        return ImageKind::IntelHex;
    return ImageKind::Raw; // .bin, .rom and every other name
}

ImageKind SaveKindFor(const QString& fileName)
{
    if (IsExt(fileName, ".src"))
        return ImageKind::SRecord;
    if (IsExt(fileName, ".hex"))
        return ImageKind::IntelHex;
    return ImageKind::Raw;
}

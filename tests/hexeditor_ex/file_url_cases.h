#pragma once
// The URLs of one file as programs hand them over, with whether each names a
// file here: a file URL does when its host is empty, localhost or this
// machine; with any other host, as with a web link, only its text is here.
#include <QMimeData>
#include <QString>
#include <QSysInfo>
#include <QUrl>
#include <vector>

struct FileUrlCase {
    QString url;
    bool isFile;
    // As a file manager or a browser offers it: the URL and its text.
    void Fill(QMimeData& md) const
    {
        md.setUrls({QUrl(url)});
        md.setText(url);
    }
};

inline std::vector<FileUrlCase> FileUrlCases(const QString& Path)
{
    return {
        {QUrl::fromLocalFile(Path).toString(), true},
        {QStringLiteral("file://LocalHost") + Path, true},
        {QStringLiteral("file://") + QSysInfo::machineHostName() + Path, true},
        {QStringLiteral("file://otherhost") + Path, false},
        {QStringLiteral("https://example.org/a?b=1"), false},
    };
}

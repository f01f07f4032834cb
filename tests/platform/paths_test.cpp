#include "platform/paths.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <gtest/gtest.h>

namespace {

using platform::ChangeFileExt;

TEST(Paths, ChangeFileExtReplacesOrAppends)
{
    EXPECT_EQ(ChangeFileExt("/opt/qv750/qv750", ".ini"), "/opt/qv750/qv750.ini");
    EXPECT_EQ(ChangeFileExt("/opt/qv750/x.exe", ".ini"), "/opt/qv750/x.ini");
    EXPECT_EQ(ChangeFileExt("x.exe", ".txt"), "x.txt");
    EXPECT_EQ(ChangeFileExt("/a.b/qv750", ".txt"), "/a.b/qv750.txt");   // dot in a folder name
    EXPECT_EQ(ChangeFileExt("/a/x.tar.gz", ".ini"), "/a/x.tar.ini");    // only the last extension
    EXPECT_EQ(ChangeFileExt("/a/x.", ".ini"), "/a/x.ini");
    EXPECT_EQ(ChangeFileExt("/a/.hidden", ".ini"), "/a/.ini");
    EXPECT_EQ(ChangeFileExt("/a/b.c", ""), "/a/b");
    EXPECT_EQ(ChangeFileExt("", ".ini"), ".ini");
    EXPECT_EQ(ChangeFileExt("/a/程序.exe", ".ini"), "/a/程序.ini");
}

TEST(Paths, ProgramPathCanBeOverriddenForTests)
{
    const QString real = platform::ProgramPath();
    EXPECT_EQ(real, QCoreApplication::applicationFilePath());
    EXPECT_TRUE(QFileInfo(real).isExecutable());

    platform::SetProgramPathForTesting("/tmp/t/qv750");
    EXPECT_EQ(platform::ProgramPath(), "/tmp/t/qv750");
    EXPECT_EQ(platform::ProgramFileWithExt(".ini"), "/tmp/t/qv750.ini");
    EXPECT_EQ(platform::ProgramFileWithExt(".txt"), "/tmp/t/qv750.txt");

    platform::SetProgramPathForTesting(QString());
    EXPECT_EQ(platform::ProgramPath(), real);
    EXPECT_EQ(platform::ProgramFileWithExt(".ini"), ChangeFileExt(real, ".ini"));
}

} // namespace

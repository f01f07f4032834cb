#pragma once
// Runs a check as a user without root's way past file permissions. As root
// (CI) the check runs in a child process that has dropped to "nobody"; as
// anyone else it runs right here. The check returns 0 when everything held,
// else a number that tells which step failed (a source line, say).
#include <QFile>
#include <QString>
#include <functional>
#include <grp.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

namespace testsupport {

constexpr uid_t kNobody = 65534;

inline bool RunningAsRoot() { return ::geteuid() == 0; }

// Lets the check's user into a folder made by the test (QTemporaryDir makes
// it 0700); mode applies as given.
inline void OpenFolderTo(const QString& folder, mode_t mode)
{
    ::chmod(QFile::encodeName(folder).constData(), mode);
}

// Gives a file or folder to the check's user (only as root; otherwise the
// test's files are the user's already).
inline void GiveToCheckUser(const QString& path)
{
    if (RunningAsRoot())
        (void)::chown(QFile::encodeName(path).constData(), kNobody, kNobody);
}

inline int RunAsUnprivileged(const std::function<int()>& check)
{
    if (!RunningAsRoot())
        return check();
    const pid_t pid = ::fork();
    if (pid < 0)
        return -1;
    if (pid == 0) {
        int rc = 100;
        if (::setgroups(0, nullptr) == 0 && ::setgid(kNobody) == 0 && ::setuid(kNobody) == 0)
            rc = check();
        ::_exit(rc & 0xFF);
    }
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return -2;
    return WEXITSTATUS(status);
}

} // namespace testsupport

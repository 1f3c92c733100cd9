#include "agenda/PopupLauncher.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <spawn.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace rp::agenda {

QString popupProgram(const QString& configured)
{
    if (!configured.isEmpty()) {
        return configured;
    }
    const QString beside = QCoreApplication::applicationDirPath() + QStringLiteral("/reminder-popup");
    const QFileInfo info(beside);
    if (info.isFile() && info.isExecutable()) {
        return beside;
    }
    return QStringLiteral("reminder-popup");
}

std::optional<pid_t> startPopup(const QString& program, const QString& launchLine, int lockFd, QString& error)
{
    const QByteArray programBytes = QFile::encodeName(program);
    const QByteArray lineBytes = launchLine.toLocal8Bit();
    char* const argv[] = {const_cast<char*>(programBytes.constData()), const_cast<char*>(lineBytes.constData()),
                          nullptr};
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // A session of its own: a signal meant for the watcher (Ctrl+C, the service being stopped) leaves the window
    // alone, it is the operator's.
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
    // The lock file is close-on-exec, so that no other child (nor a second pop-up started while it is open) takes
    // it: a dup2 onto itself clears that flag in this child alone.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (lockFd >= 0) {
        posix_spawn_file_actions_adddup2(&actions, lockFd, lockFd);
    }
    pid_t pid = 0;
    const int result = posix_spawnp(&pid, programBytes.constData(), &actions, &attributes, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (result != 0) {
        error = QString::fromLocal8Bit(std::strerror(result));
        return std::nullopt;
    }
    return pid;
}

std::optional<QString> abnormalEnd(int waitStatus)
{
    if (WIFEXITED(waitStatus)) {
        if (WEXITSTATUS(waitStatus) == 0) {
            return std::nullopt;
        }
        return QStringLiteral("terminata con stato %1").arg(WEXITSTATUS(waitStatus));
    }
    if (WIFSIGNALED(waitStatus)) {
        const char* name = sigabbrev_np(WTERMSIG(waitStatus));
        return QStringLiteral("terminata dal segnale %1 (SIG%2)")
            .arg(WTERMSIG(waitStatus))
            .arg(QString::fromLatin1(name != nullptr ? name : "?"));
    }
    return QStringLiteral("terminata in modo sconosciuto (%1)").arg(waitStatus);
}

} // namespace rp::agenda

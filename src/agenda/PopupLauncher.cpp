#include "agenda/PopupLauncher.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <spawn.h>
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

std::optional<pid_t> startPopup(const QString& program, const QString& launchLine, QString& error)
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
    pid_t pid = 0;
    const int result = posix_spawnp(&pid, programBytes.constData(), nullptr, &attributes, argv, environ);
    posix_spawnattr_destroy(&attributes);
    if (result != 0) {
        error = QString::fromLocal8Bit(std::strerror(result));
        return std::nullopt;
    }
    return pid;
}

void reapEndedPopups()
{
    while (waitpid(-1, nullptr, WNOHANG) > 0) {
    }
}

} // namespace rp::agenda

#include "agenda/WindowLocks.h"

#include "common/DaySerial.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QStringList>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace rp::agenda {

namespace {

const QByteArray EndedMark = QByteArrayLiteral("ended");

// Every window's lock file in the folder, opened for the visit and closed after it.
template <typename Visit>
void forEachLockFile(const QString& folder, Visit visit)
{
    const QStringList names = QDir(folder).entryList(QDir::Files);
    for (const QString& name : names) {
        const QString path = folder + QLatin1Char('/') + name;
        const int fd = open(QFile::encodeName(path).constData(), O_RDWR | O_CLOEXEC);
        if (fd >= 0) {
            visit(fd, path);
            close(fd);
        }
    }
}

QByteArray readAll(int fd)
{
    QByteArray content;
    char buffer[512];
    if (lseek(fd, 0, SEEK_SET) != 0) {
        return content;
    }
    for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;) {
        content.append(buffer, static_cast<qsizetype>(n));
    }
    return content;
}

bool rewrite(int fd, const QByteArray& content)
{
    return ftruncate(fd, 0) == 0 && lseek(fd, 0, SEEK_SET) == 0 &&
           write(fd, content.constData(), static_cast<size_t>(content.size())) == content.size();
}

} // namespace

WindowLocks::WindowLocks(const QString& settingsPath)
{
    QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (runtime.isEmpty()) {
        runtime = QDir::tempPath() + QStringLiteral("/reminder-agenda-") + QString::number(getuid());
    }
    const QByteArray settings = QFileInfo(settingsPath).absoluteFilePath().toUtf8();
    m_folder = runtime + QStringLiteral("/reminder-agenda/") +
               QString::fromLatin1(QCryptographicHash::hash(settings, QCryptographicHash::Sha1).toHex().left(16));
    QDir().mkpath(m_folder);
    QFile::setPermissions(m_folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

QString WindowLocks::pathFor(const QString& key) const
{
    return m_folder + QLatin1Char('/') +
           QString::fromLatin1(QCryptographicHash::hash(key.toUtf8(), QCryptographicHash::Sha1).toHex());
}

std::map<QString, WindowTrace> WindowLocks::survey(double now)
{
    std::map<QString, WindowTrace> traces;
    forEachLockFile(m_folder, [&](int fd, const QString& path) {
        const bool held = flock(fd, LOCK_EX | LOCK_NB) != 0;
        const QList<QByteArray> lines = readAll(fd).split('\n');
        if (lines.size() >= 2) {
            const QString key = QString::fromUtf8(lines[0]);
            WindowTrace& trace = traces[key];
            bool isSlot = false;
            const int slot = lines[1].toInt(&isSlot);
            if (held && isSlot) {
                trace.openSlot = slot;
            } else if (!held && isSlot) {
                // The window ended since the last look: its end is stamped now.
                rewrite(fd, lines[0] + '\n' + EndedMark + '\n');
                trace.endedAt = now;
            } else if (!held) {
                trace.endedAt = daySerialFromLocal(QFileInfo(path).lastModified());
            }
        }
    });
    return traces;
}

void WindowLocks::forgetAllBut(const std::set<QString>& dueKeys)
{
    forEachLockFile(m_folder, [&](int fd, const QString& path) {
        if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
            const QList<QByteArray> lines = readAll(fd).split('\n');
            if (lines.size() >= 2 && lines[1] == EndedMark && dueKeys.count(QString::fromUtf8(lines[0])) == 0) {
                unlink(QFile::encodeName(path).constData());
            }
        }
    });
}

int WindowLocks::lockForWindow(const QString& key, int slot, QString& error)
{
    // Without close-on-exec: the pop-up inherits the descriptor, and with it the lock.
    const int fd = open(QFile::encodeName(pathFor(key)).constData(), O_RDWR | O_CREAT, 0600);
    if (fd < 0) {
        error = QString::fromLocal8Bit(std::strerror(errno));
        return -1;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        error = QStringLiteral("la finestra è già aperta");
        close(fd);
        return -1;
    }
    if (!rewrite(fd, key.toUtf8() + '\n' + QByteArray::number(slot) + '\n')) {
        error = QString::fromLocal8Bit(std::strerror(errno));
        close(fd);
        return -1;
    }
    return fd;
}

void WindowLocks::markEnded(int fd)
{
    const QByteArray key = readAll(fd).split('\n').value(0);
    rewrite(fd, key + '\n' + EndedMark + '\n');
}

} // namespace rp::agenda

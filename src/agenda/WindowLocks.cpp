#include "agenda/WindowLocks.h"

#include "agenda/LockFolder.h"
#include "common/DaySerial.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
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
const QByteArray FailedMark = QByteArrayLiteral("failed");

QString errnoText()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

// A lock file as only a watcher of this user makes it: a plain file of this user's with one name. Never through a
// link, never kept across a start of the pop-up but the one the descriptor is handed to.
int openLockFile(const QString& path, bool create, QString& error)
{
    const QByteArray name = QFile::encodeName(path);
    constexpr int Flags = O_RDWR | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK;
    int fd = create ? open(name.constData(), Flags | O_CREAT | O_EXCL, 0600) : -1;
    if (fd < 0 && (!create || errno == EEXIST)) {
        fd = open(name.constData(), Flags);
    }
    if (fd < 0) {
        error = QStringLiteral("%1: %2").arg(path, errnoText());
        return -1;
    }
    struct stat facts
    {
    };
    if (fstat(fd, &facts) != 0 || !S_ISREG(facts.st_mode) || facts.st_uid != geteuid() || facts.st_nlink != 1) {
        error = QStringLiteral("%1 non è un file di blocco di questo utente").arg(path);
        close(fd);
        return -1;
    }
    return fd;
}

// Every window's lock file in the folder, opened for the visit and closed after it.
template <typename Visit>
void forEachLockFile(const QString& folder, Visit visit)
{
    const QStringList names = QDir(folder).entryList(QDir::Files | QDir::System);
    for (const QString& name : names) {
        const QString path = folder + QLatin1Char('/') + name;
        QString ignored;
        const int fd = openLockFile(path, false, ignored);
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

// The key is written as one line: a key holding a line break never reaches here (it is a bad row), and the
// percent-encoding keeps it so whatever comes.
QByteArray keyLine(const QString& key)
{
    return key.toUtf8().toPercentEncoding(" |:-") + '\n';
}

QString keyOf(const QByteArray& line)
{
    return QString::fromUtf8(QByteArray::fromPercentEncoding(line));
}

} // namespace

WindowLocks::WindowLocks(QString settingsPath) : m_settingsPath(std::move(settingsPath)) {}

QString WindowLocks::folder() const
{
    return lockFolderFor(m_settingsPath);
}

QString WindowLocks::pathFor(const QString& folder, const QString& key) const
{
    return folder + QLatin1Char('/') +
           QString::fromLatin1(QCryptographicHash::hash(key.toUtf8(), QCryptographicHash::Sha1).toHex());
}

std::map<QString, WindowTrace> WindowLocks::survey(double now, std::optional<QString>& problem)
{
    std::map<QString, WindowTrace> traces;
    const QString here = folder();
    const bool first = !m_surveyed;
    m_surveyed = true;
    problem = privateFolderProblem(here, false);
    if (problem) {
        // Missing is no problem: the next window makes it again.
        if (!QFileInfo::exists(here) && !QFileInfo(here).isSymLink()) {
            problem.reset();
        }
        return traces;
    }
    forEachLockFile(here, [&](int fd, const QString& path) {
        const bool held = flock(fd, LOCK_EX | LOCK_NB) != 0;
        const QList<QByteArray> lines = readAll(fd).split('\n');
        if (lines.size() < 2) {
            return;
        }
        const QString key = keyOf(lines[0]);
        bool isSlot = false;
        const int slot = lines[1].toInt(&isSlot);
        if (held) {
            if (isSlot) {
                traces[key].openSlot = slot;
            }
        } else if (isSlot && first) {
            // It ended while no watcher ran: with the session's display, as like as not. It is shown again now.
            rewrite(fd, lines[0] + '\n' + FailedMark + '\n');
        } else if (isSlot) {
            // The window ended since the last look: its end is stamped now.
            rewrite(fd, lines[0] + '\n' + EndedMark + '\n');
            traces[key].endedAt = now;
        } else if (!(first && lines[1] == FailedMark)) {
            traces[key].endedAt = daySerialFromLocal(QFileInfo(path).lastModified());
        }
    });
    return traces;
}

void WindowLocks::forgetAllBut(const std::set<QString>& dueKeys)
{
    forEachLockFile(folder(), [&](int fd, const QString& path) {
        if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
            const QList<QByteArray> lines = readAll(fd).split('\n');
            if (lines.size() >= 2 && (lines[1] == EndedMark || lines[1] == FailedMark) &&
                dueKeys.count(keyOf(lines[0])) == 0) {
                unlink(QFile::encodeName(path).constData());
            }
        }
    });
}

WindowLock WindowLocks::lockForWindow(const QString& key, int slot)
{
    WindowLock lock;
    const QString here = folder();
    if (const std::optional<QString> problem = privateFolderProblem(here, true)) {
        lock.problem = *problem;
        return lock;
    }
    const int fd = openLockFile(pathFor(here, key), true, lock.problem);
    if (fd < 0) {
        return lock;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        lock.alreadyOpen = true;
        close(fd);
        return lock;
    }
    if (!rewrite(fd, keyLine(key) + QByteArray::number(slot) + '\n')) {
        lock.problem = errnoText();
        close(fd);
        return lock;
    }
    lock.fd = fd;
    return lock;
}

void WindowLocks::markEnded(int fd)
{
    const QByteArray key = readAll(fd).split('\n').value(0);
    rewrite(fd, key + '\n' + EndedMark + '\n');
}

void WindowLocks::markFailed(const QString& key)
{
    QString ignored;
    const int fd = openLockFile(pathFor(folder(), key), false, ignored);
    if (fd < 0) {
        return;
    }
    // Held again, the reminder has a new window already; its line is that window's.
    if (flock(fd, LOCK_EX | LOCK_NB) == 0 && keyOf(readAll(fd).split('\n').value(0)) == key) {
        rewrite(fd, keyLine(key) + FailedMark + '\n');
    }
    close(fd);
}

} // namespace rp::agenda

#include "agenda/WorkFileWatch.h"

#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>
#include <array>
#include <cerrno>
#include <cstring>
#include <sys/inotify.h>
#include <sys/vfs.h>
#include <unistd.h>

namespace rp::agenda {

namespace {

// The magic numbers of statfs(2) for the file systems that hold another machine's files.
constexpr std::array<unsigned long, 7> NetworkFileSystems = {
    0x6969,     // NFS
    0x517B,     // SMB
    0xFF534D42, // CIFS
    0xFE534D42, // SMB2
    0x5346414F, // AFS
    0x01021997, // 9P
    0x73757245, // Coda
};

// SQLite writes its WAL or journal before the file; the creation and removal of an empty WAL by a reader's
// opening and closing is left out, as is closing the file after reading it (it is opened read-write).
constexpr uint32_t FileEvents =
    IN_MODIFY | IN_CREATE | IN_DELETE | IN_MOVED_TO | IN_MOVED_FROM | IN_DELETE_SELF | IN_MOVE_SELF;
constexpr uint32_t CompanionEvents = IN_MODIFY;

} // namespace

bool onNetworkFileSystem(const QString& folder)
{
    struct statfs facts
    {
    };
    if (statfs(QFile::encodeName(folder).constData(), &facts) != 0) {
        return false;
    }
    for (const unsigned long magic : NetworkFileSystems) {
        if (static_cast<unsigned long>(facts.f_type) == magic) {
            return true;
        }
    }
    return false;
}

WorkFileWatch::WorkFileWatch(QObject* parent) : QObject(parent) {}

WorkFileWatch::~WorkFileWatch()
{
    stop();
}

void WorkFileWatch::stop()
{
    if (m_notifier) {
        // It may be the notifier whose signal is being handled.
        m_notifier->setEnabled(false);
        m_notifier->deleteLater();
        m_notifier = nullptr;
    }
    if (m_fd >= 0) {
        close(m_fd);
        m_fd = -1;
    }
    m_file.clear();
}

QString WorkFileWatch::watch(const QString& file)
{
    if (file == m_file && (m_fd >= 0 || file.isEmpty())) {
        return {};
    }
    stop();
    if (file.isEmpty()) {
        return {};
    }
    const QFileInfo info(file);
    const QString folder = info.absolutePath();
    if (onNetworkFileSystem(folder)) {
        return QStringLiteral("%1 è su un file system di rete").arg(folder);
    }
    m_fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_fd < 0 || inotify_add_watch(m_fd, QFile::encodeName(folder).constData(), FileEvents) < 0) {
        const QString why = QStringLiteral("%1: %2").arg(folder, QString::fromLocal8Bit(std::strerror(errno)));
        stop();
        return why;
    }
    m_file = file;
    m_name = QFile::encodeName(info.fileName());
    m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &WorkFileWatch::onReadable);
    return {};
}

void WorkFileWatch::onReadable()
{
    alignas(inotify_event) char buffer[4096];
    bool relevant = false;
    bool watchGone = false;
    for (ssize_t n; (n = read(m_fd, buffer, sizeof buffer)) > 0;) {
        for (ssize_t at = 0; at < n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            const QByteArray name = event->len > 0 ? QByteArray(event->name) : QByteArray();
            if (event->mask & (IN_IGNORED | IN_DELETE_SELF | IN_MOVE_SELF)) {
                watchGone = true;
            }
            if (name == m_name || (event->mask & IN_Q_OVERFLOW)) {
                relevant = true;
            } else if ((name == m_name + "-wal" || name == m_name + "-journal") && (event->mask & CompanionEvents)) {
                relevant = true;
            }
        }
    }
    if (watchGone) {
        // The folder itself went away or moved: the next look watches whatever the settings then name.
        stop();
    }
    if (relevant || watchGone) {
        emit changed();
    }
}

} // namespace rp::agenda

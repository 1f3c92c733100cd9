#include "agenda/AgendaLog.h"

#include <QByteArray>
#include <cstdio>
#include <sys/stat.h>

namespace rp::agenda {

namespace {

// systemd sets JOURNAL_STREAM to the device and inode of the stream it connects; a standard error redirected
// elsewhere by whoever started the watcher is not the journal even though the variable was inherited.
bool stderrIsJournal()
{
    const QByteArray stream = qgetenv("JOURNAL_STREAM");
    const qsizetype colon = stream.indexOf(':');
    struct stat facts
    {
    };
    if (colon < 0 || fstat(STDERR_FILENO, &facts) != 0) {
        return false;
    }
    bool deviceOk = false;
    bool inodeOk = false;
    const qulonglong device = stream.left(colon).toULongLong(&deviceOk);
    const qulonglong inode = stream.mid(colon + 1).toULongLong(&inodeOk);
    return deviceOk && inodeOk && device == facts.st_dev && inode == facts.st_ino;
}

} // namespace

QString escapedForLog(const QString& text)
{
    QString escaped;
    escaped.reserve(text.size());
    for (const QChar c : text) {
        if (c.category() != QChar::Other_Control) {
            escaped += c;
        } else if (c == u'\n') {
            escaped += QLatin1String("\\n");
        } else if (c == u'\r') {
            escaped += QLatin1String("\\r");
        } else if (c == u'\t') {
            escaped += QLatin1String("\\t");
        } else {
            escaped += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        }
    }
    return escaped;
}

void logLine(LogPriority priority, const QString& text)
{
    // Asked at every line, which costs one fstat: the watcher logs seldom, and standard error may be handed on.
    const bool journal = stderrIsJournal();
    const QByteArray line = escapedForLog(text).toLocal8Bit();
    if (journal) {
        std::fprintf(stderr, "<%d>reminder-agenda: %s\n", static_cast<int>(priority), line.constData());
    } else {
        std::fprintf(stderr, "reminder-agenda: %s\n", line.constData());
    }
    std::fflush(stderr);
}

} // namespace rp::agenda

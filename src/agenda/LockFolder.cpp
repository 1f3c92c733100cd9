#include "agenda/LockFolder.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace rp::agenda {

namespace {

QString errnoText()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

std::optional<QString> makeMissing(const QString& folder)
{
    const QStringList parts = QFileInfo(folder).absoluteFilePath().split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QString path;
    for (const QString& part : parts) {
        path += QLatin1Char('/') + part;
        if (mkdir(QFile::encodeName(path).constData(), 0700) != 0 && errno != EEXIST) {
            return QStringLiteral("%1: %2").arg(path, errnoText());
        }
    }
    return std::nullopt;
}

std::optional<QString> notPrivate(const QString& folder)
{
    struct stat facts
    {
    };
    if (lstat(QFile::encodeName(folder).constData(), &facts) != 0) {
        return QStringLiteral("%1: %2").arg(folder, errnoText());
    }
    if (S_ISLNK(facts.st_mode)) {
        return QStringLiteral("%1 è un collegamento simbolico, non una cartella").arg(folder);
    }
    if (!S_ISDIR(facts.st_mode)) {
        return QStringLiteral("%1 non è una cartella").arg(folder);
    }
    if (facts.st_uid != geteuid()) {
        return QStringLiteral("%1 appartiene a un altro utente (uid %2)").arg(folder).arg(facts.st_uid);
    }
    if ((facts.st_mode & 077) != 0) {
        return QStringLiteral("%1 è aperta ad altri utenti (permessi %2, invece di 700)")
            .arg(folder)
            .arg(facts.st_mode & 0777, 3, 8, QLatin1Char('0'));
    }
    return std::nullopt;
}

} // namespace

QString lockFolderFor(const QString& settingsPath)
{
    QString base = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (base.isEmpty()) {
        base = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    }
    const QFileInfo settings(settingsPath);
    const QString resolved = settings.canonicalFilePath();
    const QByteArray name = (resolved.isEmpty() ? settings.absoluteFilePath() : resolved).toUtf8();
    return QDir::cleanPath(base) + QStringLiteral("/reminder-agenda/") +
           QString::fromLatin1(QCryptographicHash::hash(name, QCryptographicHash::Sha1).toHex().left(16));
}

std::optional<QString> privateFolderProblem(const QString& folder, bool make)
{
    if (make) {
        if (std::optional<QString> problem = makeMissing(folder)) {
            return problem;
        }
    }
    if (std::optional<QString> problem = notPrivate(QFileInfo(folder).path())) {
        return problem;
    }
    return notPrivate(folder);
}

} // namespace rp::agenda

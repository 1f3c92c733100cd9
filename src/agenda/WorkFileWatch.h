#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

class QSocketNotifier;

namespace rp::agenda {

// Tells when the work database of the files changes: a write to the file or to its WAL or rollback journal, or the
// file replaced, deleted or moved into place. It watches the file's folder, so that a replaced file is seen too. A
// reader opening and closing the file (every look of the watcher's own) is no change.
class WorkFileWatch : public QObject
{
    Q_OBJECT
public:
    explicit WorkFileWatch(QObject* parent = nullptr);
    ~WorkFileWatch() override;

    // Watches `file`, or nothing when it is empty (a store on a server). Empty when the file is watched (or there is
    // nothing to watch), else why not, in Italian: then only the look at the interval sees changes.
    QString watch(const QString& file);

signals:
    void changed();

private:
    void stop();
    void onReadable();

    int m_fd = -1;
    QString m_file;
    QByteArray m_name;
    QSocketNotifier* m_notifier = nullptr;
};

// Whether the folder lies on a network file system, whose changes made by other machines no notification tells.
bool onNetworkFileSystem(const QString& folder);

} // namespace rp::agenda

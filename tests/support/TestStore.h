#pragma once

#include "common/ScopedLocaleFacts.h"

#include <QString>
#include <QTemporaryDir>
#include <QVariant>

namespace rp::test {

// A scheduling application's store in a temporary folder: the three database files created from the project's
// layout files, a settings file naming them, and helpers to put rows in and read them back with plain SQL.
class TestStore
{
public:
    static constexpr qint32 DefaultClient = 57;
    explicit TestStore(const QString& operatorName = QStringLiteral("mario"));

    QString folder() const { return m_dir.path(); }
    QString settingsPath() const { return m_dir.path() + QStringLiteral("/popup.ini"); }
    QString dataDbPath() const;
    QString visitsDbPath() const;
    QString workDbPath() const;

    // Lays the appointments and reminders out again, rows kept, with their date-time columns declared as `type`
    // (the scheduling application's own choice, "TEXT" for one) instead of the project's DATETIME.
    void declareDateTimesAs(const QString& type) const;

    // Rewrites the settings file; `agenda` holds the sound keys' lines.
    void writeSettings(const QString& agenda = {});

    void exec(const QString& dbPath, const QString& sql, const QVariantList& binds = {}) const;
    QVariant scalar(const QString& dbPath, const QString& sql, const QVariantList& binds = {}) const;

    void addClient(qint32 code, const QVariant& name, const QVariant& extended) const;
    void addAction(const QString& code, const QVariant& description, const QVariant& colour) const;
    void addAppointment(qint32 client, double when, const QString& action, const QVariant& note,
                        const QVariant& cause) const;
    void addReminder(qint32 client, double when, const QString& action, const QVariant& document) const;

    // The launch line for an appointment: settings path, slot, client, action, day/month/year hh:nn:ss.
    QString commandLine(qint32 client, double when, const QString& action, int slot = 0) const;

private:
    void createDatabase(const QString& path, const QString& layoutFile) const;
    QTemporaryDir m_dir;
    QString m_operator;
};

// A day serial for a civil date-time, for readable tests.
double serialOf(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);

// Pins the regional conventions for one test, by decimal separator: ',' the Italian ones, '.' the point ones.
class ScopedLocale : public ScopedLocaleFacts
{
public:
    explicit ScopedLocale(QChar decimal) : ScopedLocaleFacts(decimal == u',' ? commaLocale() : pointLocale()) {}
};

} // namespace rp::test

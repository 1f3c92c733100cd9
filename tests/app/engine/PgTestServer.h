#pragma once

#include "support/TestPaths.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <libpq-fe.h>
#include <stdexcept>
#include <string>

namespace rp::engine::test {

// A database of its own on the suite's throw-away PostgreSQL cluster, dropped with the object, with the office
// layout loaded for the operators a test asks for. Its admin session is the scheduling application, or another
// pop-up, working on the same rows.
class PgTestServer
{
public:
    PgTestServer()
    {
        QFile file(rp::suite::pgStateFile());
        const QStringList lines =
            file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).split(u'\n') : QStringList();
        m_cluster = lines.size() > 1 ? lines[1].trimmed() : QString();
        if (m_cluster.isEmpty()) {
            throw std::runtime_error("no test cluster started (the pg_cluster.start test starts it)");
        }
        static int counter = 0;
        m_database = QStringLiteral("rp_test_%1_%2").arg(QCoreApplication::applicationPid()).arg(++counter);
        PGconn* admin = connect(m_cluster);
        run(admin, QStringLiteral("CREATE DATABASE %1").arg(m_database));
        PQfinish(admin);
        m_admin = connect(connectionString(QStringLiteral("postgres")));
    }
    ~PgTestServer()
    {
        PQfinish(m_admin);
        PGconn* admin = connect(m_cluster);
        PQclear(PQexec(admin, QStringLiteral("DROP DATABASE %1 WITH (FORCE)").arg(m_database).toUtf8().constData()));
        for (const QString& role : m_roles) {
            PQclear(PQexec(admin, QStringLiteral("DROP ROLE \"%1\"").arg(role).toUtf8().constData()));
        }
        PQfinish(admin);
    }
    PgTestServer(const PgTestServer&) = delete;
    PgTestServer& operator=(const PgTestServer&) = delete;

    // What a settings file's SERVER key would say for `user` on this database (socket, no password).
    QString connectionString(const QString& user) const
    {
        return m_cluster + QStringLiteral(" dbname=%1 user='%2'").arg(m_database, user);
    }
    QString cluster() const { return m_cluster; }
    QString database() const { return m_database; }

    // Roles belong to the whole cluster, which tests share while they run: each database has its own.
    QString roleOf(const QString& operatorName) const { return operatorName + QLatin1Char('_') + m_database; }

    // The shipped layout for one operator, with the operator's own role.
    void addOperator(const QString& name)
    {
        m_roles << roleOf(name);
        QProcess psql;
        psql.start(QStringLiteral("psql"),
                   {QStringLiteral("-q"), QStringLiteral("-v"), QStringLiteral("operator=") + name,
                    QStringLiteral("-v"), QStringLiteral("role=") + roleOf(name), QStringLiteral("-f"),
                    rp::suite::sourceDir() + QStringLiteral("/data/layout/server.sql"),
                    connectionString(QStringLiteral("postgres"))});
        psql.waitForFinished(30000);
        if (psql.exitCode() != 0) {
            throw std::runtime_error("layout failed: " + psql.readAllStandardError().toStdString());
        }
    }

    void exec(const QString& sql) { run(m_admin, sql); }
    QString scalar(const QString& sql)
    {
        PGresult* result = PQexec(m_admin, sql.toUtf8().constData());
        QString value = QStringLiteral("<none>");
        if (PQresultStatus(result) == PGRES_TUPLES_OK && PQntuples(result) > 0) {
            value = PQgetisnull(result, 0, 0) ? QStringLiteral("<NULL>") : QString::fromUtf8(PQgetvalue(result, 0, 0));
        }
        PQclear(result);
        return value;
    }

    // Another session of the same database, for locks held across statements.
    PGconn* otherSession() { return connect(connectionString(QStringLiteral("postgres"))); }

    static void run(PGconn* conn, const QString& sql)
    {
        PGresult* result = PQexec(conn, sql.toUtf8().constData());
        const ExecStatusType status = PQresultStatus(result);
        const std::string message = PQresultErrorMessage(result);
        PQclear(result);
        if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
            throw std::runtime_error("test SQL failed: " + message);
        }
    }

private:
    static PGconn* connect(const QString& connection)
    {
        PGconn* conn = PQconnectdb(connection.toUtf8().constData());
        if (PQstatus(conn) != CONNECTION_OK) {
            const std::string message = PQerrorMessage(conn);
            PQfinish(conn);
            throw std::runtime_error("cannot reach the test cluster: " + message);
        }
        PQclear(PQexec(conn, "SET client_min_messages = warning"));
        return conn;
    }

    QString m_cluster;
    QString m_database;
    QStringList m_roles;
    PGconn* m_admin = nullptr;
};

} // namespace rp::engine::test

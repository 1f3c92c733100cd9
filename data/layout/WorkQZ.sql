-- WorkQZ.mdb (the work database): the pending reminders, one per appointment still to be reminded of.
-- Columns whose declared type contains DATE or TIME hold local date-times as text 'YYYY-MM-DD HH:MM:SS'.
-- The pop-up finds a reminder by the primary key (client code, date-time, action code, in this order),
-- reads PmDocumento (path of the attached document), writes PmAllarm (next alarm) and PmWait, and deletes the
-- row when the operator asks not to be reminded again.
CREATE TABLE IF NOT EXISTS Promemoria (
    PmCliente INTEGER NOT NULL,
    PmData DATETIME NOT NULL,
    PmAzione TEXT NOT NULL,
    PmDocumento TEXT,
    PmAllarm DATETIME,
    PmWait TEXT,
    PRIMARY KEY (PmCliente, PmData, PmAzione)
);
-- The agenda watcher asks for the reminders whose alarm has come, at every look: through this index.
CREATE INDEX IF NOT EXISTS PromemoriaAllarm ON Promemoria (PmAllarm);

-- DatiQZ.mdb (the data database): the scheduling application's clients.
-- The pop-up reads CliRagsoc and CliRagsocEstesa by the primary key (the client code); it writes nothing here.
-- Further columns and tables of the scheduling application may be added freely.
CREATE TABLE IF NOT EXISTS Clienti (
    CliCodice INTEGER NOT NULL PRIMARY KEY,
    CliRagsoc TEXT,
    CliRagsocEstesa TEXT
);

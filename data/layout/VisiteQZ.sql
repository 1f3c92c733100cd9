-- VisiteQZ.mdb (the visits database): appointments and the actions they are about.
-- Columns whose declared type contains DATE or TIME hold local date-times as text 'YYYY-MM-DD HH:MM:SS'.
-- The pop-up finds an appointment by the primary key (client code, date-time, action code, in this order),
-- reads ApNote and ApCausa and writes ApAllarm (the reminder's lead time in whole minutes).
-- It finds an action by the primary key (TbaCodice) and reads TbaDescrizione and TbaColore
-- (a colour as a number: red in the lowest byte, then green, then blue; a number in text form is accepted).
CREATE TABLE IF NOT EXISTS Appuntamenti (
    ApCliente INTEGER NOT NULL,
    ApData DATETIME NOT NULL,
    ApAzione TEXT NOT NULL,
    ApNote TEXT,
    ApCausa TEXT,
    ApAllarm REAL,
    PRIMARY KEY (ApCliente, ApData, ApAzione)
);

CREATE TABLE IF NOT EXISTS TabAzioni (
    TbaCodice TEXT NOT NULL PRIMARY KEY,
    TbaDescrizione TEXT,
    TbaColore INTEGER
);

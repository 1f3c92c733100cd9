-- The office store on a PostgreSQL server: one operator's three databases as three schemas of one database,
-- named as the files would be under the operator's folder ("mario/DatiQZ", "mario/VisiteQZ", "mario/WorkQZ"),
-- and the operator's login role, which reads the four tables and changes only what the pop-up writes.
-- Run it as the role that owns the scheduling application's tables, once per operator:
--
--   psql -v operator='mario' -v role='mario' -f server.sql "dbname=agenda"
--
-- Date-time columns are timestamp without time zone, in whole seconds (local time). The pop-up finds rows by
-- each table's primary key, in the column order given here; further columns and tables may be added freely.
\set ON_ERROR_STOP on
\set data_schema :operator '/DatiQZ'
\set visits_schema :operator '/VisiteQZ'
\set work_schema :operator '/WorkQZ'

BEGIN;

CREATE SCHEMA :"data_schema";
CREATE SCHEMA :"visits_schema";
CREATE SCHEMA :"work_schema";

CREATE TABLE :"data_schema"."Clienti" (
    "CliCodice" integer NOT NULL PRIMARY KEY,
    "CliRagsoc" text,
    "CliRagsocEstesa" text
);

CREATE TABLE :"visits_schema"."Appuntamenti" (
    "ApCliente" integer NOT NULL,
    "ApData" timestamp(0) NOT NULL,
    "ApAzione" text NOT NULL,
    "ApNote" text,
    "ApCausa" text,
    "ApAllarm" double precision,
    PRIMARY KEY ("ApCliente", "ApData", "ApAzione")
);

CREATE TABLE :"visits_schema"."TabAzioni" (
    "TbaCodice" text NOT NULL PRIMARY KEY,
    "TbaDescrizione" text,
    "TbaColore" integer
);

CREATE TABLE :"work_schema"."Promemoria" (
    "PmCliente" integer NOT NULL,
    "PmData" timestamp(0) NOT NULL,
    "PmAzione" text NOT NULL,
    "PmDocumento" text,
    "PmAllarm" timestamp(0),
    "PmWait" text,
    PRIMARY KEY ("PmCliente", "PmData", "PmAzione")
);
-- The agenda watcher asks for the reminders whose alarm has come, at every look: through this index.
CREATE INDEX "PromemoriaAllarm" ON :"work_schema"."Promemoria" ("PmAllarm");

-- The operator's role: a password is set by the administrator (\password in psql) or the server trusts the
-- operator's system account; it never has to be in the pop-up's settings file (see libpq's password file).
SELECT NOT EXISTS (SELECT 1 FROM pg_catalog.pg_roles WHERE rolname = :'role') AS role_missing \gset
\if :role_missing
CREATE ROLE :"role" LOGIN;
\endif
GRANT USAGE ON SCHEMA :"data_schema", :"visits_schema", :"work_schema" TO :"role";
GRANT SELECT ON :"data_schema"."Clienti", :"visits_schema"."TabAzioni" TO :"role";
GRANT SELECT, UPDATE ("ApAllarm") ON :"visits_schema"."Appuntamenti" TO :"role";
GRANT SELECT, UPDATE ("PmAllarm", "PmWait"), DELETE ON :"work_schema"."Promemoria" TO :"role";

COMMIT;

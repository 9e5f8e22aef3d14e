-- The roles of a site archive. Run it as a superuser on the site's database
-- after `kv518-cli archive init --url ...` made the tables, e.g.
--   sudo -u postgres psql -d kv518 -v ON_ERROR_STOP=1 -f /usr/share/kv518/kv518-site.sql
-- Running it again is harmless; run it again after an archive init that
-- brought an older schema up to date (version 2 adds audit_entry, version 3
-- run_download).
--
--   kv518_writer  the workstations: SELECT and INSERT, never UPDATE or DELETE
--   kv518_reader  reports and reviews: SELECT
--
-- Give each workstation a login of its own in the writer role:
--   CREATE ROLE lab_pc1 LOGIN PASSWORD '...' IN ROLE kv518_writer;
-- The schema's triggers (made by archive init) refuse UPDATE, DELETE and
-- TRUNCATE for every role, the tables' owner included; only a superuser who
-- disables them can change a record, and archive verify finds the change.

DO $$
BEGIN
    IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = 'kv518_writer') THEN
        CREATE ROLE kv518_writer NOLOGIN;
    END IF;
    IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = 'kv518_reader') THEN
        CREATE ROLE kv518_reader NOLOGIN;
    END IF;
END
$$;

REVOKE CREATE ON SCHEMA public FROM PUBLIC;
REVOKE ALL ON ALL TABLES IN SCHEMA public FROM PUBLIC, kv518_writer, kv518_reader;
GRANT USAGE ON SCHEMA public TO kv518_writer, kv518_reader;

GRANT SELECT, INSERT ON image, download, run, run_version, download_run, audit_entry TO kv518_writer;
-- run_download is written by the schema alone, from each new download_run row.
GRANT SELECT ON schema_version, run_download TO kv518_writer;
GRANT USAGE ON ALL SEQUENCES IN SCHEMA public TO kv518_writer;

GRANT SELECT ON ALL TABLES IN SCHEMA public TO kv518_reader;

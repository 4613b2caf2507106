-- The catalogue on SQLite. Statements end with a semicolon at the end of a line.
CREATE TABLE IF NOT EXISTS channels (
 id INTEGER PRIMARY KEY,
 name BLOB NOT NULL, kind BLOB NOT NULL, url BLOB NOT NULL, lang BLOB NOT NULL,
 spare1 BLOB NOT NULL, spare2 BLOB NOT NULL,
 favorites INTEGER NOT NULL DEFAULT 0,
 rating_sum REAL NOT NULL DEFAULT 0, rating_count INTEGER NOT NULL DEFAULT 0,
 removed INTEGER NOT NULL DEFAULT 0, changed INTEGER NOT NULL,
 dead INTEGER NOT NULL DEFAULT 0, dead_changed INTEGER NOT NULL DEFAULT 0);
CREATE INDEX IF NOT EXISTS channels_name ON channels(name);
CREATE INDEX IF NOT EXISTS channels_changed ON channels(changed);
CREATE INDEX IF NOT EXISTS channels_dead ON channels(dead_changed) WHERE dead = 1;
CREATE UNIQUE INDEX IF NOT EXISTS channels_url ON channels(url) WHERE removed = 0;
-- The reports log: for each channel name, the latest report of each of 32 buckets of client
-- addresses, in the order of seq; n counts the reports the row stood for. Nothing reads it for
-- the rules.
CREATE TABLE IF NOT EXISTS reports (
 item BLOB NOT NULL, slot INTEGER NOT NULL, seq INTEGER NOT NULL, at INTEGER NOT NULL,
 client TEXT NOT NULL, type BLOB NOT NULL, value BLOB NOT NULL, admin INTEGER NOT NULL,
 n INTEGER NOT NULL DEFAULT 1, PRIMARY KEY (item, slot)) WITHOUT ROWID;
-- How many reports were recorded that the log does not keep.
CREATE TABLE IF NOT EXISTS report_tally (slot INTEGER PRIMARY KEY, n INTEGER NOT NULL);
INSERT OR IGNORE INTO report_tally (slot, n) VALUES (0, 0);
CREATE TABLE IF NOT EXISTS votes (
 channel INTEGER NOT NULL, client TEXT NOT NULL, kind INTEGER NOT NULL,
 stars INTEGER NOT NULL, at INTEGER NOT NULL, PRIMARY KEY (channel, client, kind))
 WITHOUT ROWID;
-- Votes past their window count for nothing; the oldest go first.
CREATE INDEX IF NOT EXISTS votes_at ON votes(at);
CREATE TABLE IF NOT EXISTS offline_votes (
 channel INTEGER NOT NULL, client TEXT NOT NULL, PRIMARY KEY (channel, client))
 WITHOUT ROWID;
-- One row per client address: the earliest date handed out in an update it has not yet
-- confirmed by asking from it. update_reads held a row per request; what it remembered is
-- covered by the update margin.
DROP TABLE IF EXISTS update_reads;
CREATE TABLE IF NOT EXISTS update_fetches (
 client TEXT PRIMARY KEY, stored BIGINT NOT NULL, at BIGINT NOT NULL);
CREATE INDEX IF NOT EXISTS update_fetches_at ON update_fetches(at);
CREATE TABLE IF NOT EXISTS meta (key TEXT PRIMARY KEY, value INTEGER NOT NULL);
CREATE TABLE IF NOT EXISTS source_channels (channel INTEGER PRIMARY KEY,
 source TEXT NOT NULL, vanished INTEGER NOT NULL DEFAULT 0);
CREATE INDEX IF NOT EXISTS source_channels_source ON source_channels(source);
-- The programme guide: times in UTC seconds; a stop equal to the start when the guide gave no
-- end and no later programme gave one either.
CREATE TABLE IF NOT EXISTS programmes (
 guide_id BLOB NOT NULL, start INTEGER NOT NULL, stop INTEGER NOT NULL,
 title TEXT NOT NULL, sub_title TEXT NOT NULL, description TEXT NOT NULL,
 category TEXT NOT NULL);
CREATE INDEX IF NOT EXISTS programmes_guide ON programmes(guide_id, start);
-- The guide ids that have programmes, so that now and next need not look for them among
-- the channels; kept when their programmes are pruned (they then answer nothing).
CREATE TABLE IF NOT EXISTS programme_guides (guide_id BLOB PRIMARY KEY) WITHOUT ROWID;
-- A guide on its way in, by writer, until it arrived whole; begun says when, so that the rows
-- of a writer that died are cleared by a later one.
CREATE TABLE IF NOT EXISTS programmes_staging (
 writer INTEGER NOT NULL, begun INTEGER NOT NULL,
 guide_id BLOB NOT NULL, start INTEGER NOT NULL, stop INTEGER NOT NULL,
 title TEXT NOT NULL, sub_title TEXT NOT NULL, description TEXT NOT NULL,
 category TEXT NOT NULL);
CREATE INDEX IF NOT EXISTS programmes_staging_writer ON programmes_staging(writer, guide_id, start);

-- A report recorded in one round trip, with the rules of SqliteStore::applyReport and vote():
-- a report on PostgreSQL otherwise costs eight (begin, clock, insert, lock, vote read and write,
-- figure, commit). Its time is the database's clock unless the caller gives one (tests); changes
-- are stamped after the latest handed-out date. p_kind: 0 favourite, 1 rating, 2 online,
-- 3 offline, anything else a report that changes nothing. p_slot: the client's bucket in the
-- reports log. Only a report naming a channel is logged (its log row counts it); a channel keeps no more offline votes
-- than its death takes; p_prune: how many votes past the window go, for each vote this report
-- casts (the store asks every few votes).
CREATE OR REPLACE FUNCTION record_report(p_now BIGINT, p_handed BIGINT, p_client TEXT,
 p_type BYTEA, p_value BYTEA, p_item BYTEA, p_admin BOOLEAN, p_kind INTEGER, p_stars INTEGER,
 p_window BIGINT, p_dead_reporters INTEGER, p_slot INTEGER, p_prune INTEGER) RETURNS VOID
LANGUAGE plpgsql AS $body$
DECLARE
 v_now BIGINT := coalesce(p_now, floor(extract(epoch FROM clock_timestamp()))::BIGINT);
 v_handed BIGINT;
 v_stamp BIGINT;
 v_channel RECORD;
 v_stars INTEGER;
 v_at BIGINT;
 v_in_window BOOLEAN;
 v_offline BIGINT;
 v_added BIGINT;
 v_found BOOLEAN := false;
 v_votes INTEGER := 0;
BEGIN
 IF p_kind BETWEEN 0 AND 3 THEN
  -- A change's stamp; the handed-out date is read only when something changes.
  v_stamp := greatest(v_now, p_handed + 1);
  -- Reports to one channel take their turns, also between server processes.
  FOR v_channel IN SELECT id, dead FROM channels WHERE name = p_item AND removed = 0
   ORDER BY id FOR UPDATE LOOP
   v_found := true;
   IF p_kind <= 1 THEN
    v_votes := v_votes + 1;
    -- The earlier vote as it was, and the new one in its place, in one statement.
    WITH earlier AS (SELECT stars, at FROM votes
      WHERE channel = v_channel.id AND client = p_client AND kind = p_kind),
     cast_vote AS (INSERT INTO votes (channel, client, kind, stars, at)
      VALUES (v_channel.id, p_client, p_kind, p_stars, v_now)
      ON CONFLICT (channel, client, kind)
      DO UPDATE SET stars = EXCLUDED.stars, at = EXCLUDED.at)
    SELECT stars, at INTO v_stars, v_at FROM earlier;
    v_in_window := FOUND AND v_now - v_at < p_window;
    IF p_kind = 0 THEN
     IF NOT v_in_window THEN
      IF v_handed IS NULL THEN
       SELECT coalesce(max(value), 0) INTO v_handed FROM meta WHERE key = 'handed_out';
       v_stamp := greatest(v_stamp, v_handed + 1);
      END IF;
      UPDATE channels SET favorites = favorites + 1, changed = v_stamp
       WHERE id = v_channel.id;
     END IF;
    ELSIF NOT (v_in_window AND v_stars = p_stars) THEN
     IF v_handed IS NULL THEN
      SELECT coalesce(max(value), 0) INTO v_handed FROM meta WHERE key = 'handed_out';
      v_stamp := greatest(v_stamp, v_handed + 1);
     END IF;
     UPDATE channels SET
      rating_sum = rating_sum + CASE WHEN v_in_window THEN p_stars - v_stars ELSE p_stars END,
      rating_count = rating_count + CASE WHEN v_in_window THEN 0 ELSE 1 END,
      changed = v_stamp WHERE id = v_channel.id;
    END IF;
   ELSIF p_kind = 2 THEN
    DELETE FROM offline_votes WHERE channel = v_channel.id;
    IF v_channel.dead <> 0 THEN
     IF v_handed IS NULL THEN
      SELECT coalesce(max(value), 0) INTO v_handed FROM meta WHERE key = 'handed_out';
      v_stamp := greatest(v_stamp, v_handed + 1);
     END IF;
     UPDATE channels SET dead = 0, dead_changed = v_stamp, changed = v_stamp
      WHERE id = v_channel.id;
    END IF;
   ELSE
    IF NOT p_admin THEN
     SELECT count(*) INTO v_offline FROM offline_votes WHERE channel = v_channel.id;
     IF v_offline < p_dead_reporters THEN
      INSERT INTO offline_votes (channel, client) VALUES (v_channel.id, p_client)
       ON CONFLICT DO NOTHING;
      GET DIAGNOSTICS v_added = ROW_COUNT;
      v_offline := v_offline + v_added;
     END IF;
    END IF;
    IF (p_admin OR v_offline >= p_dead_reporters) AND v_channel.dead = 0 THEN
     IF v_handed IS NULL THEN
      SELECT coalesce(max(value), 0) INTO v_handed FROM meta WHERE key = 'handed_out';
      v_stamp := greatest(v_stamp, v_handed + 1);
     END IF;
     UPDATE channels SET dead = 1, dead_changed = v_stamp WHERE id = v_channel.id;
    END IF;
   END IF;
  END LOOP;
 ELSE
  v_found := EXISTS (SELECT 1 FROM channels WHERE name = p_item AND removed = 0);
 END IF;
 -- Counted where it is kept: a logged report in its log row, any other in this connection's
 -- row of the tally.
 IF NOT v_found THEN
  INSERT INTO report_tally AS t (slot, n) VALUES (pg_backend_pid() % 64, 1)
   ON CONFLICT (slot) DO UPDATE SET n = t.n + 1;
  RETURN;
 END IF;
 INSERT INTO reports AS r (item, slot, seq, at, client, type, value, admin, n)
  VALUES (p_item, p_slot, (extract(epoch FROM clock_timestamp()) * 1000000)::BIGINT, v_now,
   p_client, p_type, p_value, CASE WHEN p_admin THEN 1 ELSE 0 END, 1)
  ON CONFLICT (item, slot) DO UPDATE SET seq = EXCLUDED.seq, at = EXCLUDED.at,
   client = EXCLUDED.client, type = EXCLUDED.type, value = EXCLUDED.value,
   admin = EXCLUDED.admin, n = r.n + 1;
 IF v_votes > 0 AND p_prune > 0 THEN
  DELETE FROM votes WHERE ctid = ANY (ARRAY(
   SELECT ctid FROM votes WHERE at <= v_now - p_window ORDER BY at
    LIMIT p_prune * v_votes FOR UPDATE SKIP LOCKED));
 END IF;
END
$body$

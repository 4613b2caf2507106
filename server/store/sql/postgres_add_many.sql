-- New channels of a source in one round trip, in the order given, claimed for it and dead from
-- the start where the source says so; the fields come as hex texts. Every channel the list holds
-- has an address of its own. Rows are inserted in their order, so the identity hands out ids as
-- one insert after another would. Each row answers its new id, or else the id of the channel
-- already listed at its address (the subquery sees the table as it was before the insert).
WITH input AS (
 SELECT n, decode(name, 'hex') AS name, decode(kind, 'hex') AS kind,
 decode(url, 'hex') AS url, decode(lang, 'hex') AS lang, decode(spare1, 'hex') AS spare1,
 decode(spare2, 'hex') AS spare2, favorites, rating_sum, rating_count, dead
 FROM unnest(?::TEXT[], ?::TEXT[], ?::TEXT[], ?::TEXT[], ?::TEXT[], ?::TEXT[], ?::BIGINT[],
 ?::DOUBLE PRECISION[], ?::BIGINT[], ?::INTEGER[]) WITH ORDINALITY
 AS t(name, kind, url, lang, spare1, spare2, favorites, rating_sum, rating_count, dead, n)),
 added AS (
 INSERT INTO channels (name, kind, url, lang, spare1, spare2, favorites, rating_sum,
 rating_count, changed, dead, dead_changed)
 SELECT name, kind, url, lang, spare1, spare2, favorites, rating_sum, rating_count,
 ?::BIGINT, dead, CASE WHEN dead = 1 THEN ?::BIGINT ELSE 0 END FROM input i
 WHERE NOT EXISTS (SELECT 1 FROM channels c WHERE c.url = i.url AND c.removed = 0)
 ORDER BY n RETURNING id, url),
 claimed AS (INSERT INTO source_channels (channel, source) SELECT id, ?::TEXT FROM added
 ON CONFLICT (channel) DO NOTHING)
SELECT a.id, CASE WHEN a.id IS NULL THEN
 (SELECT c.id FROM channels c WHERE c.url = i.url AND c.removed = 0) END
FROM input i LEFT JOIN added a ON a.url = i.url ORDER BY i.n

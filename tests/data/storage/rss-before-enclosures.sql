-- Storage/rss.db as the program wrote it before items kept their files (the search index left
-- out: it is added on open either way), with a channel, two items, a favorite box and a favorite.
CREATE TABLE feed_data (feed_id INTEGER PRIMARY KEY AUTOINCREMENT, feed_url TEXT, feed_rssrank INTEGER DEFAULT 0, feed_storagetype INTEGER DEFAULT 0, feed_storagenum INTEGER DEFAULT 200, feed_autoupdate INTEGER DEFAULT 1, feed_newitemshowtip INTEGER DEFAULT 0);
CREATE TABLE rss_data (item_id INTEGER PRIMARY KEY AUTOINCREMENT, item_feedid INTEGER, item_new INTEGER DEFAULT 0, item_read INTEGER DEFAULT 0, item_link TEXT, item_title TEXT, item_author TEXT, item_description TEXT, item_pubDate TEXT);
CREATE TABLE rsstemp_data (item_id INTEGER PRIMARY KEY AUTOINCREMENT, item_feedid INTEGER, item_new INTEGER DEFAULT 0, item_read INTEGER DEFAULT 0, item_link TEXT, item_title TEXT, item_author TEXT, item_description TEXT, item_pubDate TEXT);
CREATE TABLE rssfavorite_data (item_id INTEGER PRIMARY KEY AUTOINCREMENT, item_feedid INTEGER, item_link TEXT, item_title TEXT, item_author TEXT, item_description TEXT, item_pubDate TEXT);
CREATE TABLE feedfav_data (feed_id INTEGER PRIMARY KEY, feed_readcount INTEGER DEFAULT 0);
CREATE TABLE feed_validators (feed_id INTEGER PRIMARY KEY, etag TEXT, last_modified TEXT);
CREATE INDEX rss_data_feed_item ON rss_data (item_feedid, item_id);
CREATE INDEX rss_data_feed_link ON rss_data (item_feedid, item_link);
CREATE INDEX rss_data_feed_read ON rss_data (item_feedid, item_read, item_id);
CREATE INDEX rss_data_feed_new ON rss_data (item_feedid, item_id) WHERE item_new = 1;
CREATE INDEX rsstemp_data_feed ON rsstemp_data (item_feedid, item_id);
CREATE INDEX rssfavorite_data_folder ON rssfavorite_data (item_feedid, item_id);
CREATE INDEX feed_data_url ON feed_data (feed_url);
INSERT INTO feed_data (feed_id, feed_url, feed_storagetype, feed_storagenum) VALUES (1, 'http://old.example/feed', 2, 50);
INSERT INTO rss_data VALUES (7, 1, 0, 1, 'http://old.example/1', '旧的一条', 'a', '<p>一</p>', '2025-01-02 03:04:05');
INSERT INTO rss_data VALUES (8, 1, 1, 0, 'http://old.example/2', 'Second', 'b', 'two', '2025-01-03 03:04:05');
INSERT INTO feedfav_data VALUES (3, 0);
INSERT INTO rssfavorite_data VALUES (5, 3, 'http://old.example/1', '旧的一条', 'a', '<p>一</p>', '2025-01-02 03:04:05');
INSERT INTO feed_validators VALUES (1, '"v1"', 'Thu, 02 Jan 2025 03:04:05 GMT');
PRAGMA user_version = 1;

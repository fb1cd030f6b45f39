-- A Thunderbird address book as versions before 102 left it (user_version
-- 1, a `cards` table): its mailing lists, one nested in the other, are rows
-- of `cards` and `properties` too, under the ids they have in `lists`.
PRAGMA journal_mode = WAL;
PRAGMA user_version = 1;
CREATE TABLE cards (uid TEXT PRIMARY KEY, localId INTEGER);
CREATE TABLE properties (card TEXT, name TEXT, value TEXT);
CREATE TABLE lists (uid TEXT PRIMARY KEY, localId INTEGER, name TEXT, nickName TEXT, description TEXT);
CREATE TABLE list_cards (list TEXT, card TEXT, PRIMARY KEY(list, card));

INSERT INTO cards VALUES ('v1-anna', 1), ('v1-list-outer', 2), ('v1-bert', 3), ('v1-list-inner', 4);
INSERT INTO properties VALUES
('v1-anna', 'DisplayName', 'Anna Alt'),
('v1-anna', 'PrimaryEmail', 'anna@example.org'),
('v1-list-outer', 'DisplayName', 'Outer List'),
('v1-list-outer', 'PrimaryEmail', 'Outer List'),
('v1-bert', 'DisplayName', 'Bert Alt'),
('v1-list-inner', 'DisplayName', 'Inner List'),
('v1-list-inner', 'NickName', 'inner');
INSERT INTO lists VALUES ('v1-list-outer', 2, 'Outer List', '', ''), ('v1-list-inner', 4, 'Inner List', 'inner', '');
INSERT INTO list_cards VALUES ('v1-list-outer', 'v1-anna'), ('v1-list-outer', 'v1-list-inner'),
('v1-list-inner', 'v1-bert');

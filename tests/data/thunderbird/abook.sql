-- A Thunderbird address book (abook.sqlite) in Thunderbird's own schema:
-- one card saved by a current Thunderbird (a whole vCard in _vCard beside
-- the properties it keeps for searching), one card last saved before
-- Thunderbird kept vCards (only the separate properties), a plain card, and
-- a mailing list (not a contact). The tests build the database from this
-- text with SQLite, in Thunderbird's write-ahead-log mode.
PRAGMA journal_mode = WAL;
PRAGMA user_version = 4;
CREATE TABLE properties (card TEXT, name TEXT, value TEXT);
CREATE TABLE lists (uid TEXT PRIMARY KEY, name TEXT, nickName TEXT, description TEXT);
CREATE TABLE list_cards (list TEXT, card TEXT, PRIMARY KEY(list, card));
CREATE INDEX properties_card ON properties(card);
CREATE INDEX properties_name ON properties(name);

INSERT INTO properties VALUES
('7f1c6a40-0001-4c1e-9a2b-vcard', 'DisplayName', 'Søren Kierkegaard-Ødegård'),
('7f1c6a40-0001-4c1e-9a2b-vcard', 'FirstName', 'Søren'),
('7f1c6a40-0001-4c1e-9a2b-vcard', 'LastName', 'Kierkegaard-Ødegård'),
('7f1c6a40-0001-4c1e-9a2b-vcard', 'PrimaryEmail', 'soren@example.dk'),
('7f1c6a40-0001-4c1e-9a2b-vcard', 'LastModifiedDate', '1700000000'),
('7f1c6a40-0001-4c1e-9a2b-vcard', '_vCard', 'BEGIN:VCARD
VERSION:4.0
UID:tb-vcard-richest
FN:Søren Kierkegaard-Ødegård
N:Kierkegaard-Ødegård;Søren;;;
BDAY;VALUE=DATE:19800229
TITLE:Chief Philosopher
ORG:Øresund Tænketank\, A/S;Ethics
EMAIL;PREF=1:soren@example.dk
EMAIL;TYPE=work:soren.work@example.dk
EMAIL;TYPE=home:soren.home@example.dk
URL;TYPE=work:https://tank.example.dk/soren
IMPP:xmpp:soren@chat.example.dk
X-ASSISTANT:Regine Olsen
TEL;TYPE=textphone:+45 1000 0001
TEL;TYPE=x-assistant:+45 1000 0002
TEL;TYPE=work,voice:+45 1000 0003
TEL;TYPE=work:+45 1000 0004
TEL;TYPE=work,fax:+45 1000 0005
TEL;TYPE=x-callback:+45 1000 0006
TEL;TYPE=x-car:+45 1000 0007
TEL;TYPE=x-company:+45 1000 0008
TEL;TYPE=home:+45 1000 0009
TEL;TYPE=home,voice:+45 1000 0010
TEL;TYPE=home,fax:+45 1000 0011
TEL;TYPE=x-isdn:+45 1000 0012
TEL;TYPE=cell:+45 1000 0013
TEL:+45 1000 0014
TEL;TYPE=fax:+45 1000 0015
TEL;TYPE=pager:+45 1000 0016
TEL;TYPE=pref:+45 1000 0017
TEL;TYPE=x-radio:+45 1000 0018
TEL;TYPE=x-telex:+45 1000 0019
ADR;TYPE=work:;3rd floor;Nytorv 2\nBack entrance;København K;;1450;Danmark
ADR;TYPE=home:;;Strøget 7;Aarhus;Midtjylland;8000;Danmark
ADR;TYPE=other:;;Hovedgaden 1;Odense;;5000;
NOTE:Either/or\, "both"\; see notes\nsecond line
END:VCARD'),
('1b2d3e4f-0002-4000-8000-legacy', 'DisplayName', 'Grete Legacy'),
('1b2d3e4f-0002-4000-8000-legacy', 'FirstName', 'Grete'),
('1b2d3e4f-0002-4000-8000-legacy', 'LastName', 'Lægacy'),
('1b2d3e4f-0002-4000-8000-legacy', 'NickName', 'Gretl'),
('1b2d3e4f-0002-4000-8000-legacy', 'PrimaryEmail', 'grete@example.de'),
('1b2d3e4f-0002-4000-8000-legacy', 'SecondEmail', 'grete.private@example.de'),
('1b2d3e4f-0002-4000-8000-legacy', 'JobTitle', 'Archivist'),
('1b2d3e4f-0002-4000-8000-legacy', 'Department', 'Records'),
('1b2d3e4f-0002-4000-8000-legacy', 'Company', 'Müller; Söhne, GmbH'),
('1b2d3e4f-0002-4000-8000-legacy', 'WorkPhone', '+49 30 1111'),
('1b2d3e4f-0002-4000-8000-legacy', 'HomePhone', '+49 30 2222'),
('1b2d3e4f-0002-4000-8000-legacy', 'FaxNumber', '+49 30 3333'),
('1b2d3e4f-0002-4000-8000-legacy', 'PagerNumber', '+49 30 4444'),
('1b2d3e4f-0002-4000-8000-legacy', 'CellularNumber', '+49 170 5555'),
('1b2d3e4f-0002-4000-8000-legacy', 'WorkAddress', 'Friedrichstraße 10'),
('1b2d3e4f-0002-4000-8000-legacy', 'WorkAddress2', 'Hinterhaus'),
('1b2d3e4f-0002-4000-8000-legacy', 'WorkCity', 'Berlin'),
('1b2d3e4f-0002-4000-8000-legacy', 'WorkState', 'BE'),
('1b2d3e4f-0002-4000-8000-legacy', 'WorkZipCode', '10117'),
('1b2d3e4f-0002-4000-8000-legacy', 'WorkCountry', 'Germany'),
('1b2d3e4f-0002-4000-8000-legacy', 'HomeAddress', 'Am Markt 1'),
('1b2d3e4f-0002-4000-8000-legacy', 'HomeCity', 'Potsdam'),
('1b2d3e4f-0002-4000-8000-legacy', 'HomeZipCode', '14467'),
('1b2d3e4f-0002-4000-8000-legacy', 'HomeCountry', 'Germany'),
('1b2d3e4f-0002-4000-8000-legacy', 'WebPage1', 'https://archive.example.de'),
('1b2d3e4f-0002-4000-8000-legacy', 'WebPage2', 'https://grete.example.de'),
('1b2d3e4f-0002-4000-8000-legacy', 'BirthYear', '1962'),
('1b2d3e4f-0002-4000-8000-legacy', 'BirthMonth', '7'),
('1b2d3e4f-0002-4000-8000-legacy', 'BirthDay', '4'),
('1b2d3e4f-0002-4000-8000-legacy', '_JabberId', 'grete@jabber.example.de'),
('1b2d3e4f-0002-4000-8000-legacy', 'Notes', 'Keeps the "old" files;
ask first, then\ copy.'),
('1b2d3e4f-0002-4000-8000-legacy', 'PopularityIndex', '3'),
('9a8b7c6d-0003-4000-8000-plain', 'DisplayName', 'Plain Card'),
('9a8b7c6d-0003-4000-8000-plain', 'PrimaryEmail', 'plain@example.org'),
('9a8b7c6d-0003-4000-8000-plain', '_vCard', 'BEGIN:VCARD
VERSION:4.0
FN:Plain Card
EMAIL;PREF=1:plain@example.org
END:VCARD'),
-- A row of the vCard card written last: its rows stay together.
('7f1c6a40-0001-4c1e-9a2b-vcard', 'PopularityIndex', '12');

INSERT INTO lists VALUES ('list-0001', 'Book Club', 'club', 'Monthly readers');
INSERT INTO list_cards VALUES ('list-0001', '7f1c6a40-0001-4c1e-9a2b-vcard'), ('list-0001', '9a8b7c6d-0003-4000-8000-plain');

#include "ContactGenerator.h"

#include <sqlite3.h>

#include <QCryptographicHash>
#include <QFile>
#include <QString>

#include <array>
#include <cstdio>
#include <utility>
#include <vector>

namespace quarrelby::bench {

namespace {

constexpr std::array kGiven {"Anna", "José", "Zoë", "Łukasz", "Chen", "Yuki", "Olivia", "Dmitri", "Fatima", "Sean",
    "Ngozi", "Björn", "Priya", "Aroha", "Jürgen", "Hanna"};
constexpr std::array kFamily {"Lindqvist", "García", "Dubois-Lefèvre", "Wiśniewski", "陈", "田中", "Bennett", "Волков",
    "العمراني", "O'Brien", "Okonkwo", "Ek", "Raghavan", "Ngata", "Müller", "Virtanen"};
constexpr std::array kCompany {"Nordvik Kemi AB", "Peñalara S.L.", "Harbor & Finch Ltd.", "星辰科技",
    "Claddagh Software", "Fjord Logistics AS", "Atlas Conseil SARL", "Lotus Works"};
constexpr std::array kCity {"Stockholm", "Madrid", "London", "上海", "Dublin", "Köln", "Auckland", "Москва"};
constexpr std::array kStreet {"Kemivägen", "Calle de Alcalá", "Wharf Road", "世纪大道", "Docklands Park",
    "Betzdorfer Straße", "Ponsonby Road", "Тверская"};

template <class Array> const char *pick(const Array &values, int index, int salt)
{
    const unsigned mixed = static_cast<unsigned>(index) * 2654435761u + static_cast<unsigned>(salt) * 40503u;
    return values[(mixed >> 7) % values.size()];
}

std::string number(int index, int kind)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "+%d %03d %04d", 30 + kind, index % 1000, (index * 7 + kind) % 10000);
    return buffer;
}

// A new database at path, or nullptr when it cannot be made.
sqlite3 *createDatabase(const QString &path)
{
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr)
        == SQLITE_OK)
        return db;
    sqlite3_close(db);
    return nullptr;
}

} // namespace

std::string generatedCard(int index)
{
    const std::string given = pick(kGiven, index, 1);
    const std::string family = pick(kFamily, index, 2);
    const std::string company = pick(kCompany, index, 3);
    const std::string city = pick(kCity, index, 4);
    const std::string street = pick(kStreet, index, 5);
    const std::string n = std::to_string(index);
    std::string c;
    c.reserve(1024);
    switch (index % 3) {
    case 0: // vCard 3.0, as desktop address books write it
        c += "BEGIN:VCARD\r\nVERSION:3.0\r\n";
        c += "N:" + family + ";" + given + ";;;\r\nFN:" + given + " " + family + " " + n + "\r\n";
        c += "ORG:" + company + ";Sales\r\nTITLE:Account Manager\r\n";
        c += "BDAY:19" + std::to_string(50 + index % 50) + "-0" + std::to_string(1 + index % 9) + "-1"
            + std::to_string(index % 10) + "\r\n";
        c += "EMAIL;TYPE=INTERNET,WORK:contact" + n + "@example.com\r\n";
        c += "EMAIL;TYPE=INTERNET,HOME,PREF:home" + n + "@mail.example\r\n";
        c += "TEL;TYPE=WORK,VOICE:" + number(index, 1) + "\r\nTEL;TYPE=CELL:" + number(index, 2) + "\r\n";
        c += "TEL;TYPE=HOME:" + number(index, 3) + "\r\nTEL;TYPE=WORK,FAX:" + number(index, 4) + "\r\n";
        c += "item1.TEL:" + number(index, 5) + "\r\nitem1.X-ABLabel:_$!<AssistantPhone>!$_\r\n";
        c += "ADR;TYPE=WORK:;Floor " + std::to_string(index % 20) + ";" + std::to_string(index % 200) + " " + street
            + "\\nBuilding B;" + city + ";;" + std::to_string(10000 + index % 90000) + ";Country\r\n";
        c += "URL;TYPE=WORK:https://www.example.com/people/" + n + "\r\n";
        c += "NOTE:Met at the \"Spring\" fair\\, booth " + n
            + "\\; follow up\\, maybe.\\nSecond line of the"
              " note\\, which is long enough that a writer\r\n  folds it.\r\n";
        c += "END:VCARD\r\n";
        break;
    case 1: // vCard 2.1, as Outlook writes it
        c += "BEGIN:VCARD\r\nVERSION:2.1\r\n";
        c += "N;CHARSET=utf-8:" + family + ";" + given + "\r\nFN;CHARSET=utf-8:" + given + " " + family + " " + n
            + "\r\n";
        c += "ORG;CHARSET=utf-8:" + company + "\r\nTITLE:Director\r\n";
        c += "TEL;WORK;VOICE:" + number(index, 1) + "\r\nTEL;WORK;VOICE:" + number(index, 6) + "\r\n";
        c += "TEL;HOME;VOICE:" + number(index, 3) + "\r\nTEL;CELL;VOICE:" + number(index, 2) + "\r\n";
        c += "X-MS-TEL;VOICE;CALLBACK:" + number(index, 7) + "\r\nX-MS-ASSISTANT:Assistant " + n + "\r\n";
        c += "ADR;WORK;PREF;CHARSET=utf-8:;;" + std::to_string(index % 200) + " " + street + ";" + city + ";;"
            + std::to_string(10000 + index % 90000) + ";Country\r\n";
        c += "LABEL;WORK;PREF;ENCODING=QUOTED-PRINTABLE:" + std::to_string(index % 200) + " Main Street=0D=0A"
            + "Suite " + n + "=0D=0AAustin, TX  78701\r\n";
        c += "NOTE;ENCODING=QUOTED-PRINTABLE:Customer since 20" + std::to_string(10 + index % 15)
            + ", \"gold\" level=0D=0APrefers calls, not e-mail; =\r\nsoft break here.\r\n";
        c += "EMAIL;PREF;INTERNET:outlook" + n + "@example.org\r\nX-MS-IMADDRESS:im" + n + "@chat.example\r\n";
        c += "END:VCARD\r\n";
        break;
    default: // vCard 4.0
        c += "BEGIN:VCARD\r\nVERSION:4.0\r\n";
        c += "FN:" + given + " " + family + " " + n + "\r\nN:" + family + ";" + given + ";;;\r\n";
        c += "BDAY:--0" + std::to_string(1 + index % 9) + "1" + std::to_string(index % 10) + "\r\n";
        c += "TEL;VALUE=uri;TYPE=\"work,voice\";PREF=1:tel:" + number(index, 1) + "\r\n";
        c += "TEL;VALUE=uri;TYPE=\"home,voice\":tel:" + number(index, 3) + "\r\n";
        c += "EMAIL;TYPE=work:v4-" + n + "@example.net\r\nIMPP:xmpp:user" + n + "@jabber.example\r\n";
        c += "ADR;TYPE=home:;;" + std::to_string(index % 200) + " " + street + "\\nApartment "
            + std::to_string(index % 50) + ";" + city + ";Region;" + std::to_string(10000 + index % 90000)
            + ";Country\r\n";
        c += "NOTE:Notes\\, with commas\\, and \"quotes\" for contact " + n + ".\r\n";
        c += "END:VCARD\r\n";
        break;
    }
    return c;
}

bool writeAddressBookFile(const QString &path, int count)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    std::string chunk;
    for (int i = 0; i < count; ++i) {
        chunk += generatedCard(i);
        if (chunk.size() > (1 << 20) || i + 1 == count) {
            if (file.write(chunk.data(), static_cast<qint64>(chunk.size())) != static_cast<qint64>(chunk.size()))
                return false;
            chunk.clear();
        }
    }
    return file.flush();
}

bool writeAddressBookFolder(const QString &path, int count)
{
    for (int i = 0; i < count; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "/contact-%06d.vcf", i);
        QFile file(path + QLatin1String(name));
        const std::string card = generatedCard(i);
        if (!file.open(QIODevice::WriteOnly)
            || file.write(card.data(), static_cast<qint64>(card.size())) != static_cast<qint64>(card.size()))
            return false;
    }
    return true;
}

namespace {

// What Evolution Data Server 3.46 makes of a new local book
// (e-book-sqlite.c, schema version 12, the default summary): the folder
// table, its keys, the summary beside each card, and the lists of its
// e-mail addresses and telephone numbers. The daemon refuses a book that
// lacks any of them.
constexpr char kEdsSchema[] = R"(
PRAGMA journal_mode = DELETE;
CREATE TABLE folders (folder_id TEXT PRIMARY KEY, version INTEGER, multivalues TEXT, lc_collate TEXT,
  countrycode VARCHAR(2));
CREATE TABLE keys ( key TEXT PRIMARY KEY, value TEXT, folder_id TEXT REFERENCES folders);
CREATE INDEX keysindex ON keys (folder_id);
CREATE TABLE 'folder_id' (uid TEXT PRIMARY KEY, Rev TEXT, file_as TEXT, file_as_localized TEXT, nickname TEXT,
  full_name TEXT, given_name TEXT, given_name_localized TEXT, family_name TEXT, family_name_localized TEXT,
  is_list INTEGER, list_show_addresses INTEGER, wants_html INTEGER, x509Cert INTEGER, pgpCert INTEGER, vcard TEXT,
  bdata TEXT);
CREATE INDEX 'INDEX_file_as_folder_id' ON 'folder_id' (file_as);
CREATE INDEX 'SINDEX_file_as_folder_id' ON 'folder_id' (file_as_localized);
CREATE INDEX 'INDEX_nickname_folder_id' ON 'folder_id' (nickname);
CREATE INDEX 'INDEX_full_name_folder_id' ON 'folder_id' (full_name);
CREATE INDEX 'INDEX_given_name_folder_id' ON 'folder_id' (given_name);
CREATE INDEX 'SINDEX_given_name_folder_id' ON 'folder_id' (given_name_localized);
CREATE INDEX 'INDEX_family_name_folder_id' ON 'folder_id' (family_name);
CREATE INDEX 'SINDEX_family_name_folder_id' ON 'folder_id' (family_name_localized);
CREATE TABLE 'folder_id_email_list' (uid TEXT NOT NULL REFERENCES 'folder_id' (uid), value TEXT);
CREATE INDEX 'UID_INDEX_email_folder_id' ON 'folder_id_email_list' (uid);
CREATE INDEX 'INDEX_email_folder_id' ON 'folder_id_email_list' (value);
CREATE TABLE 'folder_id_phone_list' (uid TEXT NOT NULL REFERENCES 'folder_id' (uid), value TEXT);
CREATE INDEX 'UID_INDEX_phone_folder_id' ON 'folder_id_phone_list' (uid);
INSERT INTO folders VALUES ('folder_id', 12, 'email;prefix:phone', 'en_US.UTF-8', NULL);
INSERT INTO keys VALUES ('eds-reserved-namespace-is-populated', '1', 'folder_id');
INSERT INTO keys VALUES ('revision', '2026-12-07T00:00:00Z(1)', 'folder_id');
BEGIN;
)";

// The form EDS keeps summary values in (e_util_utf8_normalize): accents
// taken off, case folded.
std::string normalized(const std::string &text)
{
    QString folded = QString::fromStdString(text).normalized(QString::NormalizationForm_D);
    folded.removeIf([](QChar c) { return c.unicode() >= 0x300 && c.unicode() < 0x340; });
    return folded.toCaseFolded().toStdString();
}

// The values of the card's lines whose name (after any group) starts with
// name: "EMAIL;TYPE=WORK:a@b" gives "a@b".
std::vector<std::string> values(const std::string &card, const std::string &name)
{
    std::vector<std::string> found;
    std::size_t at = 0;
    while (at < card.size()) {
        const std::size_t end = card.find("\r\n", at);
        const std::string line = card.substr(at, end - at);
        at = end == std::string::npos ? card.size() : end + 2;
        const std::size_t dot = line.find('.');
        const std::size_t colon = line.find(':');
        const std::size_t start = dot < colon ? dot + 1 : 0;
        if (colon != std::string::npos && line.compare(start, name.size(), name) == 0)
            found.push_back(line.substr(colon + 1));
    }
    return found;
}

} // namespace

bool writeEdsBook(const QString &path, int count)
{
    sqlite3 *db = createDatabase(path);
    if (!db)
        return false;
    bool ok = sqlite3_exec(db, kEdsSchema, nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_stmt *insert = nullptr;
    sqlite3_stmt *email = nullptr;
    sqlite3_stmt *phone = nullptr;
    ok = ok
        && sqlite3_prepare_v2(db,
               "INSERT INTO 'folder_id' (uid, Rev, file_as, full_name, given_name, family_name, is_list,"
               " list_show_addresses, wants_html, x509Cert, pgpCert, vcard) VALUES (?, ?, ?, ?, ?, ?, 0, 0, 0, 0, 0, "
               "?)",
               -1, &insert, nullptr)
            == SQLITE_OK
        && sqlite3_prepare_v2(db, "INSERT INTO 'folder_id_email_list' VALUES (?, ?)", -1, &email, nullptr) == SQLITE_OK
        && sqlite3_prepare_v2(db, "INSERT INTO 'folder_id_phone_list' VALUES (?, ?)", -1, &phone, nullptr) == SQLITE_OK;
    const auto text = [](sqlite3_stmt *statement, int column, const std::string &value) {
        sqlite3_bind_text(statement, column, value.data(), static_cast<int>(value.size()), SQLITE_TRANSIENT);
    };
    const auto step = [](sqlite3_stmt *statement) {
        return sqlite3_step(statement) == SQLITE_DONE && sqlite3_reset(statement) == SQLITE_OK;
    };
    const std::string rev = "2026-12-07T00:00:00Z";
    for (int i = 0; ok && i < count; ++i) {
        // The file backend's ids: "pas-id-" and a SHA-1 in hex.
        const std::string uid = "pas-id-"
            + QCryptographicHash::hash(QByteArray::number(i), QCryptographicHash::Sha1).toHex().toStdString();
        std::string card = generatedCard(i);
        card.insert(card.find("\r\n") + 2, "UID:" + uid + "\r\n");
        card.insert(card.rfind("END:VCARD"), "REV:" + rev + "\r\n");
        const std::string given = pick(kGiven, i, 1);
        const std::string family = pick(kFamily, i, 2);
        text(insert, 1, uid);
        text(insert, 2, rev);
        text(insert, 3, normalized(family + ", " + given));
        text(insert, 4, normalized(given + " " + family + " " + std::to_string(i)));
        text(insert, 5, normalized(given));
        text(insert, 6, normalized(family));
        text(insert, 7, card);
        ok = step(insert);
        for (const auto &[statement, name] : {std::pair {email, "EMAIL"}, std::pair {phone, "TEL"}}) {
            for (const std::string &value : values(card, name)) {
                text(statement, 1, uid);
                text(statement, 2, normalized(value));
                ok = ok && step(statement);
            }
        }
    }
    for (sqlite3_stmt *statement : {insert, email, phone})
        sqlite3_finalize(statement);
    ok = ok && sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
    return sqlite3_close(db) == SQLITE_OK && ok;
}

namespace {

// The card id Thunderbird gives a card: a UUID in lower case.
std::string cardId(int index)
{
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%08x-%04x-4%03x-8%03x-%012x", static_cast<unsigned>(index) * 2654435761u,
        index & 0xffff, (index >> 4) & 0xfff, (index >> 8) & 0xfff, static_cast<unsigned>(index) ^ 0x5bd1e995u);
    return buffer;
}

} // namespace

bool writeThunderbirdBook(const QString &path, int count)
{
    sqlite3 *db = createDatabase(path);
    if (!db)
        return false;
    bool ok = sqlite3_exec(db,
                  "PRAGMA journal_mode = WAL;"
                  "PRAGMA user_version = 4;"
                  "CREATE TABLE properties (card TEXT, name TEXT, value TEXT);"
                  "CREATE TABLE lists (uid TEXT PRIMARY KEY, name TEXT, nickName TEXT, description TEXT);"
                  "CREATE TABLE list_cards (list TEXT, card TEXT, PRIMARY KEY(list, card));"
                  "CREATE INDEX properties_card ON properties(card);"
                  "CREATE INDEX properties_name ON properties(name);"
                  "BEGIN",
                  nullptr, nullptr, nullptr)
        == SQLITE_OK;
    sqlite3_stmt *insert = nullptr;
    ok = ok
        && sqlite3_prepare_v2(db, "INSERT INTO properties (card, name, value) VALUES (?, ?, ?)", -1, &insert, nullptr)
            == SQLITE_OK;
    const auto put = [&](const std::string &card, const char *name, const std::string &value) {
        sqlite3_bind_text(insert, 1, card.data(), static_cast<int>(card.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 2, name, -1, SQLITE_STATIC);
        sqlite3_bind_text(insert, 3, value.data(), static_cast<int>(value.size()), SQLITE_TRANSIENT);
        return sqlite3_step(insert) == SQLITE_DONE && sqlite3_reset(insert) == SQLITE_OK;
    };
    // The properties Thunderbird keeps beside the card's own vCard, which is
    // what a reader goes by.
    for (int i = 0; ok && i < count; ++i) {
        const std::string id = cardId(i);
        const std::string n = std::to_string(i);
        ok = put(id, "DisplayName", "contact " + n) && put(id, "FirstName", pick(kGiven, i, 1))
            && put(id, "LastName", pick(kFamily, i, 2)) && put(id, "PrimaryEmail", "contact" + n + "@example.com")
            && put(id, "LastModifiedDate", "1796601600") && put(id, "_vCard", generatedCard(i));
    }
    sqlite3_finalize(insert);
    ok = ok && sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
    // Closing checkpoints the log and removes it, as Thunderbird leaves a
    // book when it quits.
    return sqlite3_close(db) == SQLITE_OK && ok;
}

} // namespace quarrelby::bench

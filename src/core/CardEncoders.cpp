#include "core/CardEncoders.h"

#include "format/Contact.h"
#include "format/vcard/CardFields.h"
#include "format/vcard/VCardReader.h"
#include "format/vcard/VCardTypes.h"
#include "format/vcard/VCardWriter.h"

#include <QStringList>

#include <array>
#include <cstring>
#include <string>
#include <vector>

namespace quarrelby {

using vcard::CardFields;
using vcard::LabelledValue;
using vcard::PostalAddress;
using vcard::TypedValue;

namespace {

// Large enough that writing costs little per byte.
constexpr size_t kBlockSize = size_t(256) * 1024;

// A field as RFC 4180 wants it: in double quotes, inner quotes doubled, when
// it holds a comma, a double quote, CR or LF.
void appendCsvField(std::string &out, std::string_view value)
{
    const bool plain = std::none_of(
        value.begin(), value.end(), [](char c) { return c == ',' || c == '"' || c == '\r' || c == '\n'; });
    if (plain) {
        out += value;
        return;
    }
    out += '"';
    for (const char c : value) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
}

std::string joined(const std::vector<std::string> &values, std::string_view separator)
{
    std::string out;
    for (const std::string &value : values) {
        if (!out.empty())
            out += separator;
        out += value;
    }
    return out;
}

// The lines of text, without empty ones.
std::vector<std::string_view> lines(std::string_view text)
{
    std::vector<std::string_view> out;
    while (!text.empty()) {
        const size_t end = std::min(text.find_first_of("\r\n"), text.size());
        if (const std::string_view line = vcard::trimmedAscii(text.substr(0, end)); !line.empty())
            out.push_back(line);
        text.remove_prefix(end);
        while (!text.empty() && (text.front() == '\r' || text.front() == '\n'))
            text.remove_prefix(1);
    }
    return out;
}

// The e-mail addresses in the table's order: a preferred one first.
std::vector<const TypedValue *> emailOrder(const std::vector<TypedValue> &emails)
{
    std::vector<const TypedValue *> out;
    out.reserve(emails.size());
    for (const TypedValue &email : emails)
        out.push_back(&email);
    const auto preferred = std::find_if(out.begin(), out.end(), [](const TypedValue *e) { return e->preferred; });
    if (preferred != out.end())
        std::rotate(out.begin(), preferred, preferred + 1);
    return out;
}

} // namespace

class CardEncoder::Format {
public:
    explicit Format(ByteSink sink)
        : m_sink(std::move(sink))
    {
    }
    virtual ~Format() = default;

    void add(std::string_view text)
    {
        addCards(text);
        if (m_out.size() >= kBlockSize)
            flush();
    }

    // What add() writes for text, into out and counted instead, without
    // what starts the file: a piece for addPiece().
    void makePiece(std::string_view text, std::string &out, Omissions &counted)
    {
        m_out.clear();
        omitted = {};
        addCards(text);
        endPiece();
        out += m_out;
        counted += omitted;
    }

    virtual void addPiece(std::string_view piece)
    {
        m_out += piece;
        if (m_out.size() >= kBlockSize)
            flush();
    }

    virtual void finish() { flush(); }

    Omissions omitted;

protected:
    virtual void addCard(const vcard::Card &card) = 0;
    // A piece is complete: what waits for the end goes into m_out.
    virtual void endPiece() { }

    void flush()
    {
        if (m_out.empty())
            return;
        m_sink(QByteArrayView(m_out.data(), static_cast<qsizetype>(m_out.size())));
        m_out.clear();
    }

    std::string m_out;

private:
    void addCards(std::string_view text)
    {
        const std::string_view data = vcard::utf8Text(text, m_utf8);
        vcard::Reader reader(data);
        while (reader.next(m_card))
            addCard(m_card);
    }

    ByteSink m_sink;
    std::string m_utf8;
    vcard::Card m_card;
};

namespace {

class VCardFile : public CardEncoder::Format {
public:
    VCardFile(vcard::Version version, ByteSink sink)
        : Format(std::move(sink))
        , m_writer(version)
    {
    }

private:
    void addCard(const vcard::Card &card) override
    {
        if (!m_writer.write(card, m_out))
            omitted.add(Omission::DistributionList);
    }

    vcard::CardWriter m_writer;
};

// A CSV file of CardFields, one row a contact; a distribution list has no
// row and is counted.
class CsvFile : public CardEncoder::Format {
public:
    using Format::Format;

protected:
    virtual void addRow(const CardFields &fields) = 0;

    void addCard(const vcard::Card &card) override
    {
        m_reader.read(card, m_fields);
        if (m_fields.distributionList) {
            omitted.add(Omission::DistributionList);
            return;
        }
        addRow(m_fields);
        omitted.add(Omission::OtherField, m_fields.otherFields);
    }

private:
    vcard::FieldReader m_reader;
    CardFields m_fields;
};

constexpr std::array<std::string_view, 92> kOutlookHeader {"Title", "First Name", "Middle Name", "Last Name", "Suffix",
    "Company", "Department", "Job Title", "Business Street", "Business Street 2", "Business Street 3", "Business City",
    "Business State", "Business Postal Code", "Business Country/Region", "Home Street", "Home Street 2",
    "Home Street 3", "Home City", "Home State", "Home Postal Code", "Home Country/Region", "Other Street",
    "Other Street 2", "Other Street 3", "Other City", "Other State", "Other Postal Code", "Other Country/Region",
    "Assistant's Phone", "Business Fax", "Business Phone", "Business Phone 2", "Callback", "Car Phone",
    "Company Main Phone", "Home Fax", "Home Phone", "Home Phone 2", "ISDN", "Mobile Phone", "Other Fax", "Other Phone",
    "Pager", "Primary Phone", "Radio Phone", "TTY/TDD Phone", "Telex", "Account", "Anniversary", "Assistant's Name",
    "Billing Information", "Birthday", "Business Address PO Box", "Categories", "Children", "Directory Server",
    "E-mail Address", "E-mail Type", "E-mail Display Name", "E-mail 2 Address", "E-mail 2 Type",
    "E-mail 2 Display Name", "E-mail 3 Address", "E-mail 3 Type", "E-mail 3 Display Name", "Gender",
    "Government ID Number", "Hobby", "Home Address PO Box", "Initials", "Internet Free Busy", "Keywords", "Language",
    "Location", "Manager's Name", "Mileage", "Notes", "Office Location", "Organizational ID Number",
    "Other Address PO Box", "Priority", "Private", "Profession", "Referred By", "Sensitivity", "Spouse", "User 1",
    "User 2", "User 3", "User 4", "Web Page"};

// A column by its header; a misspelt header does not compile.
consteval size_t column(std::string_view header)
{
    for (size_t i = 0; i < kOutlookHeader.size(); ++i) {
        if (kOutlookHeader[i] == header)
            return i;
    }
    throw "no such column";
}

// Outlook's column for each of its telephone properties.
constexpr std::pair<ContactProperty, size_t> kOutlookPhones[] {
    {AssistantTelephoneNumber, column("Assistant's Phone")},
    {BusinessFaxNumber, column("Business Fax")},
    {BusinessTelephoneNumber, column("Business Phone")},
    {Business2TelephoneNumber, column("Business Phone 2")},
    {CallbackTelephoneNumber, column("Callback")},
    {CarTelephoneNumber, column("Car Phone")},
    {CompanyMainTelephoneNumber, column("Company Main Phone")},
    {HomeFaxNumber, column("Home Fax")},
    {HomeTelephoneNumber, column("Home Phone")},
    {Home2TelephoneNumber, column("Home Phone 2")},
    {ISDNNumber, column("ISDN")},
    {MobileTelephoneNumber, column("Mobile Phone")},
    {OtherFaxNumber, column("Other Fax")},
    {OtherTelephoneNumber, column("Other Phone")},
    {PagerNumber, column("Pager")},
    {PrimaryTelephoneNumber, column("Primary Phone")},
    {RadioTelephoneNumber, column("Radio Phone")},
    {TTYTDDTelephoneNumber, column("TTY/TDD Phone")},
    {TelexNumber, column("Telex")},
};

// The columns of the business, home and other address: three street lines,
// city, state, postal code, country, PO box.
struct AddressColumns {
    std::array<size_t, 3> street;
    size_t city, state, postalCode, country, poBox;
};
constexpr std::array<AddressColumns, 3> kOutlookAddresses {{
    {{column("Business Street"), column("Business Street 2"), column("Business Street 3")}, column("Business City"),
        column("Business State"), column("Business Postal Code"), column("Business Country/Region"),
        column("Business Address PO Box")},
    {{column("Home Street"), column("Home Street 2"), column("Home Street 3")}, column("Home City"),
        column("Home State"), column("Home Postal Code"), column("Home Country/Region"), column("Home Address PO Box")},
    {{column("Other Street"), column("Other Street 2"), column("Other Street 3")}, column("Other City"),
        column("Other State"), column("Other Postal Code"), column("Other Country/Region"),
        column("Other Address PO Box")},
}};

class OutlookCsv : public CsvFile {
public:
    explicit OutlookCsv(ByteSink sink)
        : CsvFile(std::move(sink))
    {
        m_out += "\xEF\xBB\xBF";
        for (size_t i = 0; i < kOutlookHeader.size(); ++i) {
            if (i > 0)
                m_out += ',';
            appendCsvField(m_out, kOutlookHeader[i]);
        }
        m_out += "\r\n";
    }

private:
    void addRow(const CardFields &f) override;
    void addNames(const CardFields &f);
    void addAddresses(const CardFields &f);
    void addPhones(const CardFields &f);
    void addPeopleAndDates(const CardFields &f);

    void set(size_t column, std::string_view value) { m_cells[column] = value; }

    std::array<std::string, kOutlookHeader.size()> m_cells;
};

void OutlookCsv::addNames(const CardFields &f)
{
    set(column("Title"), f.prefix);
    set(column("First Name"), f.given);
    set(column("Middle Name"), f.middle);
    set(column("Last Name"), f.family);
    set(column("Suffix"), f.suffix);
    // Outlook makes the full name of the parts; a card with none has only
    // the full name to give.
    if (f.prefix.empty() && f.given.empty() && f.middle.empty() && f.family.empty() && f.suffix.empty())
        set(column("First Name"), f.fullName);
    set(column("Company"), f.organization);
    if (!f.units.empty())
        set(column("Department"), f.units.front());
    omitted.add(Omission::Unit, f.units.size() > 1 ? static_cast<quint32>(f.units.size() - 1) : 0);
    set(column("Job Title"), f.title);
    set(column("Profession"), f.role);
    omitted.add(Omission::Nickname, static_cast<quint32>(f.nicknames.size()));
    for (const std::string *phonetic : {&f.phoneticGiven, &f.phoneticMiddle, &f.phoneticFamily})
        omitted.add(Omission::OtherField, phonetic->empty() ? 0 : 1);
}

// Work, home and other as the table places them: an address without a type
// is the work address, or the other one when there is a work address.
void OutlookCsv::addAddresses(const CardFields &f)
{
    std::array<const PostalAddress *, 3> placed {};
    auto slotOf = [](unsigned types) {
        return (types & vcard::Work) ? 0 : (types & vcard::Home) ? 1 : (types & vcard::Other) ? 2 : -1;
    };
    for (const bool typed : {true, false}) {
        for (const PostalAddress &a : f.addresses) {
            int slot = slotOf(a.types);
            if ((slot >= 0) != typed)
                continue;
            if (slot < 0)
                slot = !placed[0] ? 0 : !placed[2] ? 2 : -1;
            if (slot < 0 || placed[static_cast<size_t>(slot)]) {
                omitted.add(Omission::PostalAddress);
                continue;
            }
            placed[static_cast<size_t>(slot)] = &a;
        }
    }
    for (size_t slot = 0; slot < placed.size(); ++slot) {
        const PostalAddress *a = placed[slot];
        if (!a)
            continue;
        const AddressColumns &c = kOutlookAddresses[slot];
        const bool parts
            = !(a->extended + a->street + a->city + a->region + a->postalCode + a->country + a->poBox).empty();
        std::vector<std::string_view> street = lines(a->extended);
        for (const std::string_view line : lines(parts ? std::string_view(a->street) : std::string_view(a->text)))
            street.push_back(line);
        for (size_t i = 0; i < street.size(); ++i) {
            std::string &cell = m_cells[c.street[std::min<size_t>(i, 2)]];
            if (!cell.empty())
                cell += "\r\n";
            cell += street[i];
        }
        set(c.city, a->city);
        set(c.state, a->region);
        set(c.postalCode, a->postalCode);
        set(c.country, a->country);
        set(c.poBox, a->poBox);
    }
}

void OutlookCsv::addPhones(const CardFields &f)
{
    std::array<std::string_view, kContactPropertyCount> filled {};
    for (const TypedValue &phone : f.phones) {
        const auto [first, second] = vcard::telephoneFields(phone.types);
        const int field = filled[static_cast<size_t>(first)].empty() || second < 0 ? first : second;
        if (!filled[static_cast<size_t>(field)].empty()) {
            omitted.add(Omission::Telephone);
            continue;
        }
        filled[static_cast<size_t>(field)] = phone.value;
    }
    for (const auto &[property, columnIndex] : kOutlookPhones)
        set(columnIndex, filled[static_cast<size_t>(property)]);

    const std::vector<const TypedValue *> emails = emailOrder(f.emails);
    constexpr size_t kEmailColumns[]
        = {column("E-mail Address"), column("E-mail 2 Address"), column("E-mail 3 Address")};
    for (size_t i = 0; i < emails.size() && i < 3; ++i)
        set(kEmailColumns[i], emails[i]->value);
    omitted.add(Omission::EmailPastThird, emails.size() > 3 ? static_cast<quint32>(emails.size() - 3) : 0);

    // The work page first, as in the table.
    const auto work = std::find_if(
        f.webPages.begin(), f.webPages.end(), [](const TypedValue &page) { return page.types & vcard::Work; });
    if (!f.webPages.empty())
        set(column("Web Page"), (work != f.webPages.end() ? *work : f.webPages.front()).value);
    omitted.add(Omission::WebPagePastFirst, f.webPages.size() > 1 ? static_cast<quint32>(f.webPages.size() - 1) : 0);
    omitted.add(Omission::ImAddress, static_cast<quint32>(f.imAddresses.size()));
}

void OutlookCsv::addPeopleAndDates(const CardFields &f)
{
    // Outlook keeps no day without a year; 1604 stands for none, as
    // Outlook.com's own export writes it.
    set(column("Birthday"), f.birthday.starts_with("--") ? "1604" + f.birthday.substr(1) : f.birthday);
    bool anniversary = false;
    for (const LabelledValue &event : f.events) {
        if (event.label == "Anniversary" && !anniversary) {
            set(column("Anniversary"), event.value.starts_with("--") ? "1604" + event.value.substr(1) : event.value);
            anniversary = true;
        } else {
            omitted.add(event.label == "Anniversary" ? Omission::Anniversary : Omission::OtherField);
        }
    }
    std::vector<std::string> children;
    for (const LabelledValue &relation : f.relations) {
        const size_t target = relation.label == "Spouse" ? column("Spouse")
            : relation.label == "Manager"                ? column("Manager's Name")
            : relation.label == "Assistant"              ? column("Assistant's Name")
                                                         : kOutlookHeader.size();
        if (relation.label == "Child")
            children.push_back(relation.value);
        else if (target < kOutlookHeader.size() && m_cells[target].empty())
            set(target, relation.value);
        else
            omitted.add(Omission::RelatedPerson);
    }
    set(column("Children"), joined(children, ", "));
    constexpr size_t kUserColumns[] = {column("User 1"), column("User 2"), column("User 3"), column("User 4")};
    for (const LabelledValue &custom : f.custom) {
        const int user = custom.label.size() == 8 ? custom.label.back() - '1' : -1;
        if (user >= 0 && user < 4 && m_cells[kUserColumns[user]].empty())
            set(kUserColumns[user], custom.value);
        else
            omitted.add(Omission::OtherField);
    }
    set(column("Categories"), joined(f.categories, ";"));
    set(column("Notes"), f.note);
    omitted.add(Omission::Photo, f.embeddedPhotos + static_cast<quint32>(f.photoUris.size()));
}

void OutlookCsv::addRow(const CardFields &f)
{
    for (std::string &cell : m_cells)
        cell.clear();
    addNames(f);
    addAddresses(f);
    addPhones(f);
    addPeopleAndDates(f);
    for (size_t i = 0; i < m_cells.size(); ++i) {
        if (i > 0)
            m_out += ',';
        appendCsvField(m_out, m_cells[i]);
    }
    m_out += "\r\n";
}

// Google's groups, numbered from 1, in the order of its template; the
// fields between them are fixed columns.
struct Group {
    std::string_view name;
    std::vector<std::string_view> parts;
};
enum GoogleSegment { Names, Emails, Phones, Addresses, Organization, Events, Relations, Websites, Custom, Closing };
constexpr size_t kGoogleSegments = Closing + 1;

const std::array<Group, kGoogleSegments> &googleLayout()
{
    static const std::array<Group, kGoogleSegments> layout {{
        {{},
            {"Name Prefix", "First Name", "Middle Name", "Last Name", "Name Suffix", "Phonetic First Name",
                "Phonetic Middle Name", "Phonetic Last Name", "Nickname", "File As"}},
        {"E-mail", {"Label", "Value"}},
        {"Phone", {"Label", "Value"}},
        {"Address", {"Label", "Country", "Street", "Extended Address", "City", "Region", "Postal Code", "PO Box"}},
        {{}, {"Organization Name", "Organization Title", "Organization Department", "Birthday"}},
        {"Event", {"Label", "Value"}},
        {"Relation", {"Label", "Value"}},
        {"Website", {"Label", "Value"}},
        {"Custom Field", {"Label", "Value"}},
        {{}, {"Notes", "Labels"}},
    }};
    return layout;
}

std::string_view typedLabel(const TypedValue &value, std::string_view fallback)
{
    if (!value.label.empty())
        return value.label;
    return (value.types & vcard::Work) ? "Work" : (value.types & vcard::Home) ? "Home" : fallback;
}

std::string_view phoneLabel(const TypedValue &phone)
{
    using namespace vcard;
    const unsigned t = phone.types;
    constexpr std::pair<unsigned, std::string_view> kKinds[] = {{Assistant, "Assistant"}, {Callback, "Callback"},
        {Company, "Company Main"}, {Radio, "Radio"}, {Tty, "TTY/TDD"}, {Telex, "Telex"}, {Isdn, "ISDN"}, {Car, "Car"}};
    for (const auto &[type, label] : kKinds) {
        if (t & type)
            return label;
    }
    if (t & Pager)
        return (t & Work) ? "Work Pager" : "Pager";
    if (t & Cell)
        return (t & Work) ? "Work Mobile" : "Mobile";
    if (t & Fax)
        return (t & Work) ? "Work Fax" : (t & Home) ? "Home Fax" : "Other Fax";
    if ((t & (Work | Home)) == 0 && (t & ~Voice) == Pref)
        return "Main";
    return typedLabel(phone, "Other");
}

// The rows wait for the header, which needs every contact's count of each
// group: each is kept as its CSV text, a comma before every cell, cut into
// its segments.
class GoogleCsv : public CsvFile {
public:
    using CsvFile::CsvFile;

    void finish() override;
    void addPiece(std::string_view piece) override;

private:
    // Its ends counted from the row's start in a piece.
    struct Row {
        std::array<size_t, kGoogleSegments> ends {};
        std::array<quint32, kGoogleSegments> counts {};
    };

    void addRow(const CardFields &f) override;
    void endPiece() override;
    void cell(std::string_view value)
    {
        m_rows += ',';
        appendCsvField(m_rows, value);
    }
    void endSegment(GoogleSegment segment, size_t count = 0)
    {
        m_row.ends[segment] = m_rows.size();
        m_row.counts[segment] = static_cast<quint32>(count);
        m_most[segment] = std::max(m_most[segment], m_row.counts[segment]);
    }

    std::string m_rows;
    std::vector<Row> m_index;
    Row m_row;
    std::array<quint32, kGoogleSegments> m_most {};
};

void GoogleCsv::addRow(const CardFields &f)
{
    // As in the Outlook CSV: a card with no name parts has only its full
    // name to give, which Google's columns have no other place for.
    const bool nameParts
        = !(f.prefix.empty() && f.given.empty() && f.middle.empty() && f.family.empty() && f.suffix.empty());
    for (const std::string *text : {&f.prefix, nameParts ? &f.given : &f.fullName, &f.middle, &f.family, &f.suffix,
             &f.phoneticGiven, &f.phoneticMiddle, &f.phoneticFamily})
        cell(*text);
    cell(joined(f.nicknames, " ::: "));
    cell(f.fileAs);
    endSegment(Names);

    for (const TypedValue *email : emailOrder(f.emails)) {
        cell(typedLabel(*email, "Other"));
        cell(email->value);
    }
    endSegment(Emails, f.emails.size());
    for (const TypedValue &phone : f.phones) {
        cell(phoneLabel(phone));
        cell(phone.value);
    }
    endSegment(Phones, f.phones.size());
    for (const PostalAddress &a : f.addresses) {
        const bool parts = !(a.extended + a.street + a.city + a.region + a.postalCode + a.country + a.poBox).empty();
        cell(!a.label.empty()             ? std::string_view(a.label)
                : (a.types & vcard::Work) ? "Work"
                : (a.types & vcard::Home) ? "Home"
                                          : "Other");
        for (const std::string *part :
            {&a.country, parts ? &a.street : &a.text, &a.extended, &a.city, &a.region, &a.postalCode, &a.poBox})
            cell(*part);
    }
    endSegment(Addresses, f.addresses.size());

    cell(f.organization);
    cell(f.title);
    cell(f.units.empty() ? std::string_view() : std::string_view(f.units.front()));
    cell(f.birthday);
    endSegment(Organization);
    omitted.add(Omission::Unit, f.units.size() > 1 ? static_cast<quint32>(f.units.size() - 1) : 0);

    for (const std::vector<LabelledValue> *group : {&f.events, &f.relations}) {
        for (const LabelledValue &value : *group) {
            cell(value.label);
            cell(value.value);
        }
        endSegment(group == &f.events ? Events : Relations, group->size());
    }
    for (const TypedValue &page : f.webPages) {
        cell((page.types & vcard::Home) && page.label.empty() ? "Home Page" : typedLabel(page, "Other"));
        cell(page.value);
    }
    endSegment(Websites, f.webPages.size());
    // What Google's template has no column of its own for, by name.
    size_t custom = f.custom.size();
    if (!f.role.empty()) {
        cell("Role");
        cell(f.role);
        ++custom;
    }
    for (const TypedValue &im : f.imAddresses) {
        cell(im.label);
        cell(im.value);
    }
    for (const LabelledValue &value : f.custom) {
        cell(value.label);
        cell(value.value);
    }
    endSegment(Custom, custom + f.imAddresses.size());

    cell(f.note);
    cell(joined(f.categories, " ::: "));
    endSegment(Closing);
    m_index.push_back(m_row);
    omitted.add(Omission::Photo, f.embeddedPhotos + static_cast<quint32>(f.photoUris.size()));
}

// Each row as its Row, then its text.
void GoogleCsv::endPiece()
{
    size_t begin = 0;
    for (Row row : m_index) {
        const size_t end = row.ends.back();
        for (size_t &e : row.ends)
            e -= begin;
        m_out.append(reinterpret_cast<const char *>(&row), sizeof row);
        m_out.append(m_rows, begin, end - begin);
        begin = end;
    }
    m_rows.clear();
    m_index.clear();
}

void GoogleCsv::addPiece(std::string_view piece)
{
    while (piece.size() >= sizeof(Row)) {
        Row row;
        std::memcpy(&row, piece.data(), sizeof row);
        piece.remove_prefix(sizeof row);
        const size_t length = std::min(row.ends.back(), piece.size());
        const size_t base = m_rows.size();
        m_rows.append(piece.substr(0, length));
        piece.remove_prefix(length);
        for (size_t s = 0; s < kGoogleSegments; ++s) {
            row.ends[s] = base + std::min(row.ends[s], length);
            m_most[s] = std::max(m_most[s], row.counts[s]);
        }
        m_index.push_back(row);
    }
}

void GoogleCsv::finish()
{
    const auto &layout = googleLayout();
    std::array<quint32, kGoogleSegments> repeats {};
    bool first = true;
    for (size_t s = 0; s < kGoogleSegments; ++s) {
        const Group &group = layout[s];
        // The template has one of each group, which the header keeps.
        repeats[s] = group.name.empty() ? 1 : std::max<quint32>(m_most[s], 1);
        for (quint32 n = 1; n <= repeats[s]; ++n) {
            for (const std::string_view part : group.parts) {
                if (!first)
                    m_out += ',';
                first = false;
                if (group.name.empty()) {
                    m_out += part;
                } else {
                    m_out += group.name;
                    m_out += ' ';
                    m_out += std::to_string(n);
                    m_out += " - ";
                    m_out += part;
                }
            }
        }
    }
    m_out += "\r\n";
    size_t begin = 0;
    for (const Row &row : m_index) {
        // Every row starts with the comma before its first cell.
        ++begin;
        for (size_t s = 0; s < kGoogleSegments; ++s) {
            m_out.append(m_rows, begin, row.ends[s] - begin);
            begin = row.ends[s];
            if (!layout[s].name.empty())
                m_out.append((repeats[s] - row.counts[s]) * layout[s].parts.size(), ',');
        }
        m_out += "\r\n";
        if (m_out.size() >= kBlockSize)
            flush();
    }
    m_rows.clear();
    m_index.clear();
    flush();
}

struct Wording {
    Omission kind;
    const char *one;
    const char *many;
};

constexpr Wording kWordings[] = {
    {Omission::EmailPastThird, "e-mail address past the third", "e-mail addresses past the third"},
    {Omission::Telephone, "telephone number with no column of its kind left",
        "telephone numbers with no column of their kind left"},
    {Omission::PostalAddress, "postal address with no column of its kind left",
        "postal addresses with no column of their kind left"},
    {Omission::ImAddressPastFirst, "IM address past the first", "IM addresses past the first"},
    {Omission::ImAddress, "IM address", "IM addresses"},
    {Omission::WebPagePastFirst, "web page past the first", "web pages past the first"},
    {Omission::Nickname, "nickname", "nicknames"},
    {Omission::NamePart, "part of a name", "parts of names"},
    {Omission::Unit, "organisational unit", "organisational units"},
    {Omission::Category, "category", "categories"},
    {Omission::Photo, "photo", "photos"},
    {Omission::Anniversary, "anniversary", "anniversaries"},
    {Omission::RelatedPerson, "related person", "related people"},
    {Omission::DistributionList, "distribution list", "distribution lists"},
    {Omission::OtherField, "other field", "other fields"},
};
static_assert(std::size(kWordings) == static_cast<size_t>(Omission::Count));

std::unique_ptr<CardEncoder::Format> makeFormat(CardFormat format, ByteSink sink)
{
    switch (format) {
    case CardFormat::VCard3:
        return std::make_unique<VCardFile>(vcard::Version::V30, std::move(sink));
    case CardFormat::VCard4:
        return std::make_unique<VCardFile>(vcard::Version::V40, std::move(sink));
    case CardFormat::OutlookCsv:
        return std::make_unique<OutlookCsv>(std::move(sink));
    case CardFormat::GoogleCsv:
        break;
    }
    return std::make_unique<GoogleCsv>(std::move(sink));
}

} // namespace

CardEncoder::CardEncoder(CardFormat format, ByteSink sink)
    : m_format(makeFormat(format, std::move(sink)))
{
}

CardEncoder::~CardEncoder() = default;

void CardEncoder::addPiece(std::string_view piece, const Omissions &omitted)
{
    m_format->addPiece(piece);
    m_format->omitted += omitted;
}

CardPieces::CardPieces(CardFormat format)
    : m_format(makeFormat(format, [](QByteArrayView) {}))
{
}

CardPieces::~CardPieces() = default;

void CardPieces::transform(std::string_view card, std::string &out, Omissions &omitted)
{
    m_format->makePiece(card, out, omitted);
}

void CardEncoder::add(std::string_view card)
{
    m_format->add(card);
}

void CardEncoder::finish()
{
    m_format->finish();
}

const Omissions &CardEncoder::omitted() const
{
    return m_format->omitted;
}

QString omissionWarning(const Omissions &omitted, QStringView where, QStringView remedy)
{
    QStringList parts;
    quint64 total = 0;
    for (const Wording &w : kWordings) {
        const quint32 count = omitted[w.kind];
        if (count == 0)
            continue;
        total += count;
        parts << QString::number(count) + QLatin1Char(' ') + QLatin1String(count == 1 ? w.one : w.many);
    }
    if (parts.isEmpty())
        return {};
    QString list = parts.takeLast();
    if (!parts.isEmpty())
        list = parts.join(QStringLiteral(", ")) + QStringLiteral(" and ") + list;
    list += total == 1 ? QStringLiteral(" is not in ") : QStringLiteral(" are not in ");
    list.append(where).append(QStringLiteral("; ")).append(remedy);
    return list;
}

} // namespace quarrelby

// Extraction of a large in-memory address book into the result list: the
// cost of the list and the steps alone, without any vCard parsing.
#include "ListedContacts.h"
#include "PeakMemory.h"
#include "ScriptedShell.h"
#include "actions/ExtractContacts.h"
#include "core/ActionContext.h"
#include "core/BusyState.h"
#include "core/ContactRows.h"
#include "core/FieldCatalogue.h"
#include "core/ResultList.h"
#include "platform/AddressBooks.h"

#include <QCoreApplication>
#include <QDateTime>

#include <benchmark/benchmark.h>

using namespace quarrelby;
using namespace quarrelby::test;

namespace {

const QStringList kGiven = {QStringLiteral("Åsa"), QStringLiteral("José"), QStringLiteral("Zoë"),
    QStringLiteral("Mary"), QStringLiteral("Łukasz"), QStringLiteral("Hiroshi")};
const QStringList kFamily = {QStringLiteral("Lindqvist"), QStringLiteral("Núñez"), QStringLiteral("O'Brien"),
    QStringLiteral("Müller-Lüdenscheidt"), QStringLiteral("Smith"), QStringLiteral("山田")};

// A resolved contact: what a store keeps after parsing, one value per property.
struct Card {
    std::array<QString, kContactPropertyCount> values;
    QDateTime birthday;
};

Card generatedContact(int n)
{
    Card card;
    auto set = [&](ContactProperty id, const QString &value) { card.values.at(static_cast<size_t>(id)) = value; };
    const QString given = kGiven[n % kGiven.size()];
    const QString family = kFamily[(n / 7) % kFamily.size()];
    set(FullName, given + QLatin1Char(' ') + family);
    if (n % 3 == 0)
        card.birthday = QDateTime(QDate(1950 + n % 60, 1 + n % 12, 1 + n % 28), QTime(0, 0));
    set(JobTitle, n % 2 ? QStringLiteral("Engineer") : QString());
    set(CompanyName, QStringLiteral("Company %1, Inc.").arg(n % 977));
    set(FileAs, family + QStringLiteral(", ") + given);
    set(Email1Address, QStringLiteral("person%1@example.org").arg(n));
    set(Email2Address, n % 4 ? QString() : QStringLiteral("p%1@mail.example.com").arg(n));
    set(WebPage, n % 5 ? QString() : QStringLiteral("https://example.org/~%1").arg(n));
    set(BusinessTelephoneNumber, QStringLiteral("+1 512 555 %1").arg(n % 10000, 4, 10, QLatin1Char('0')));
    set(HomeTelephoneNumber, QStringLiteral("+46 8 %1").arg(n % 1000000));
    set(MobileTelephoneNumber, QStringLiteral("+44 7700 %1").arg(n % 1000000, 6, 10, QLatin1Char('0')));
    set(BusinessFaxNumber, n % 6 ? QString() : QStringLiteral("+1 512 555 0199"));
    set(BusinessAddress,
        QStringLiteral("Suite %1\r\n%2 Congress Ave\r\nAustin, TX  78701\r\nUnited States").arg(n % 500).arg(n % 9000));
    set(HomeAddress, n % 2 ? QString() : QStringLiteral("Storgatan %1\r\nStockholm  111 22\r\nSweden").arg(n % 90));
    set(Body, n % 3 ? QString() : QStringLiteral("Met at \"Expo\", booth %1; likes tea, not coffee.").arg(n));
    return card;
}

// The card as a store hands it out: texts back to back, the birthday apart.
Contact resolved(const Card &card)
{
    Contact contact;
    for (int i = 0; i < kContactPropertyCount; ++i)
        contact.appendUtf8(i, i == Birthday ? std::string() : card.values.at(static_cast<size_t>(i)).toStdString());
    if (card.birthday.isValid())
        contact.birthday = card.birthday;
    return contact;
}

class Walk : public ContactWalk {
public:
    explicit Walk(const std::vector<Contact> &contacts)
        : m_contacts(contacts)
    {
    }
    bool next(Contact &contact) override
    {
        if (m_next >= m_contacts.size())
            return false;
        contact = m_contacts[m_next++];
        return true;
    }

private:
    const std::vector<Contact> &m_contacts;
    size_t m_next = 0;
};

class Books : public AddressBooks {
public:
    explicit Books(const std::vector<Contact> &contacts)
        : m_contacts(contacts)
    {
    }
    void discover() override { }
    std::unique_ptr<ContactWalk> open() override { return std::make_unique<Walk>(m_contacts); }

private:
    const std::vector<Contact> &m_contacts;
};

std::vector<Contact> generatedBook(int count)
{
    std::vector<Contact> contacts;
    contacts.reserve(static_cast<size_t>(count));
    for (int n = 0; n < count; ++n)
        contacts.push_back(resolved(generatedContact(n)));
    return contacts;
}

void BM_ExtractIntoList(benchmark::State &state)
{
    const int count = static_cast<int>(state.range(0));
    const std::vector<Contact> contacts = generatedBook(count);
    Books books(contacts);
    ScriptedShell shell;
    ResultList list;
    for (const ContactField &f : fieldCatalogue())
        list.addColumn(QLatin1String(f.caption));
    BusyState busy;
    ActionContext context {shell, list, busy, [](int) { return 1; }};

    state.counters["book_MB"] = bench::peakMemoryMB();
    for (auto _ : state) {
        readAddressBooks(context, books);
        benchmark::DoNotOptimize(list.itemCount());
    }
    if (list.itemCount() != count || !shell.messages.isEmpty())
        state.SkipWithError("extraction did not list every contact");
    state.SetItemsProcessed(state.iterations() * count);
    bench::reportPeakMemory(state);
}
// The stand-in's own share: the same walk and 34 values per contact, no list.
void BM_ReadPropertiesOnly(benchmark::State &state)
{
    const int count = static_cast<int>(state.range(0));
    const std::vector<Contact> contacts = generatedBook(count);
    for (auto _ : state) {
        Walk walk(contacts);
        Contact contact;
        qsizetype characters = 0;
        while (walk.next(contact)) {
            for (const ContactField &f : fieldCatalogue()) {
                characters += cellText(contact.value(f.property)).size();
                if (f.secondProperty)
                    characters += cellText(contact.value(*f.secondProperty)).size();
            }
        }
        benchmark::DoNotOptimize(characters);
    }
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_ReadPropertiesOnly)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(3);

BENCHMARK(BM_ExtractIntoList)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

QUARRELBY_BENCHMARK_MAIN()

// Extraction of a large in-memory address book into the result list: the
// cost of the list and the error trap alone, without any vCard parsing.
#include "ListedContacts.h"
#include "PeakMemory.h"
#include "ScriptedShell.h"
#include "core/FieldCatalogue.h"
#include "core/FormContext.h"
#include "core/MousePointer.h"
#include "core/ResultList.h"
#include "outlook/Extraction.h"
#include "platform/Outlook.h"

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

class CardItem : public OutlookItem {
public:
    explicit CardItem(const Card &card)
        : m_card(card)
    {
    }
    bool isContactItem() override { return true; }
    QVariant property(ContactProperty id) override
    {
        if (id == Birthday)
            return m_card.birthday.isValid() ? QVariant(m_card.birthday) : QVariant(QString());
        return m_card.values.at(static_cast<size_t>(id));
    }

private:
    const Card &m_card;
};

class Book : public OutlookApplication, public OutlookNamespace, public OutlookFolder, public OutlookItems {
public:
    explicit Book(const std::vector<Card> &cards)
        : m_cards(cards)
    {
    }
    std::unique_ptr<OutlookNamespace> getNamespace(const QString &) override { return std::make_unique<Book>(m_cards); }
    void quit() override { }
    std::unique_ptr<OutlookFolder> getDefaultFolder(int) override { return std::make_unique<Book>(m_cards); }
    std::unique_ptr<OutlookItems> items() override { return std::make_unique<Book>(m_cards); }
    std::unique_ptr<OutlookItem> next() override
    {
        if (m_next >= m_cards.size())
            return nullptr;
        return std::make_unique<CardItem>(m_cards[m_next++]);
    }

private:
    const std::vector<Card> &m_cards;
    size_t m_next = 0;
};

void BM_ExtractIntoList(benchmark::State &state)
{
    const int count = static_cast<int>(state.range(0));
    std::vector<Card> cards;
    cards.reserve(static_cast<size_t>(count));
    for (int n = 0; n < count; ++n)
        cards.push_back(generatedContact(n));
    ScriptedShell shell;
    AutomationFactory automation;
    automation.registerClass(QStringLiteral("Outlook.Application"),
        [&cards]() -> std::unique_ptr<AutomationObject> { return std::make_unique<Book>(cards); });
    ResultList list;
    for (const ContactField &f : fieldCatalogue())
        list.addColumn(QLatin1String(f.caption));
    MousePointer pointer;
    FormContext form {shell, automation, list, pointer, [](int) { return 1; }};

    state.counters["book_MB"] = bench::peakMemoryMB();
    for (auto _ : state) {
        GetAllContactsOutlook(form);
        benchmark::DoNotOptimize(list.itemCount());
    }
    if (list.itemCount() != count || !shell.messages.isEmpty())
        state.SkipWithError("extraction did not list every contact");
    state.SetItemsProcessed(state.iterations() * count);
    bench::reportPeakMemory(state);
}
// The stand-in's own share: the same walk and 34 reads per contact, no list.
void BM_ReadPropertiesOnly(benchmark::State &state)
{
    const int count = static_cast<int>(state.range(0));
    std::vector<Card> cards;
    cards.reserve(static_cast<size_t>(count));
    for (int n = 0; n < count; ++n)
        cards.push_back(generatedContact(n));
    for (auto _ : state) {
        Book book(cards);
        auto items = book.items();
        qsizetype characters = 0;
        while (auto item = items->next()) {
            for (const ContactField &f : fieldCatalogue()) {
                characters += cellText(item->property(f.property)).size();
                if (f.secondProperty)
                    characters += cellText(item->property(*f.secondProperty)).size();
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

#include "platform/contacts/ReadAhead.h"

#include "format/vcard/VCardContact.h"
#include "format/vcard/VCardCutter.h"
#include "format/vcard/VCardReader.h"
#include "platform/contacts/Logging.h"

#include <QElapsedTimer>

#include <algorithm>
#include <exception>

namespace quarrelby {

namespace {

// A job is handed on once it holds this much text, or this many cards.
constexpr std::size_t kJobBytes = 256 * 1024;
constexpr std::size_t kJobCards = 256;
// Jobs submitted and not yet taken by the walk, at most, for a book that
// waits for it.
constexpr std::size_t kJobsAhead = 3;

// As many parsers as cores: the reader and the walk need little of one.
std::size_t parserCount()
{
    return std::clamp<std::size_t>(std::thread::hardware_concurrency(), 2, 4);
}

Failure asFailure(const std::exception &error)
{
    if (const auto *failure = dynamic_cast<const Failure *>(&error))
        return *failure;
    return Failure(QString::fromLocal8Bit(error.what()));
}

} // namespace

// Turns jobs into parts, keeping its buffers from job to job.
class ReadAhead::Parser {
public:
    Parser(bool whole, std::unique_ptr<CardTransform> transform)
        : m_whole(whole)
        , m_transform(std::move(transform))
    {
    }

    Part parse(Job &job)
    {
        Part part;
        part.contacts = std::move(job.contacts);
        if (!part.contacts.empty())
            part.subBooks.emplace_back(0, job.subBook);
        const std::size_t made = part.contacts.size();
        if (m_whole) {
            std::size_t begin = 0;
            for (const std::size_t end : job.cardEnds) {
                // Two statements: the order in which arguments are
                // evaluated is the compiler's.
                part.cards.emplace_back(begin, end - begin);
                begin = end;
            }
            part.cards.resize(made);
        }
        try {
            const std::string_view bytes = job.bytes;
            std::size_t start = 0;
            for (const Job::Text &text : job.texts) {
                if (part.subBooks.empty() || part.subBooks.back().second != text.subBook)
                    part.subBooks.emplace_back(part.contacts.size(), text.subBook);
                const std::string_view uid = bytes.substr(text.end, text.uidEnd - text.end);
                vcard::Reader reader(bytes.substr(start, text.end - start));
                start = text.uidEnd;
                while (reader.next(m_card)) {
                    // A walk that wants each card made into something else
                    // needs of the contact only what tells it from others.
                    part.contacts.push_back(
                        m_transform ? m_contacts.identify(m_card) : m_contacts.read(m_card, m_texts));
                    if (part.contacts.back().uid.empty())
                        part.contacts.back().uid = uid;
                    if (m_whole) {
                        const std::string_view card = reader.cardText();
                        part.cards.emplace_back(static_cast<std::size_t>(card.data() - bytes.data()), card.size());
                    }
                }
            }
        } catch (const std::exception &error) {
            part.failure = asFailure(error);
        }
        if (!part.failure)
            part.failure = std::move(job.failure);
        // The parsed contacts share one text; the next part's is as large.
        m_lastTexts = std::max(m_lastTexts, m_texts.size());
        for (std::size_t i = made; i < part.contacts.size(); ++i)
            part.contacts[i].texts = m_texts;
        m_texts = QString();
        m_texts.reserve(m_lastTexts + m_lastTexts / 8);
        if (m_whole) {
            part.cards.resize(part.contacts.size());
            part.bytes = std::move(job.bytes);
            if (m_transform)
                transform(part);
        }
        return part;
    }

private:
    // Each card as the transform makes it; the contact's omissions those of
    // what it made.
    void transform(Part &part)
    {
        std::string made;
        made.reserve(part.bytes.size() + part.bytes.size() / 4);
        for (std::size_t i = 0; i < part.contacts.size(); ++i) {
            const auto [begin, size] = part.cards[i];
            const std::size_t at = made.size();
            part.contacts[i].omitted = {};
            m_transform->transform(std::string_view(part.bytes).substr(begin, size), made, part.contacts[i].omitted);
            part.cards[i] = {at, made.size() - at};
        }
        part.bytes = std::move(made);
    }

    const bool m_whole;
    const std::unique_ptr<CardTransform> m_transform;
    vcard::Card m_card;
    vcard::ContactReader m_contacts;
    QString m_texts;
    qsizetype m_lastTexts = 0;
};

// The sink the reader puts into: gathers jobs and submits them.
class ReadAhead::Gatherer : public BookSink {
public:
    explicit Gatherer(ReadAhead &owner)
        : m_owner(owner)
    {
    }

    bool cards(std::string_view text, std::string_view rowUid) override
    {
        if (!m_job.contacts.empty() && !flush())
            return false;
        m_job.bytes += text;
        const std::size_t end = m_job.bytes.size();
        m_job.bytes += rowUid;
        m_job.texts.push_back({end, m_job.bytes.size(), m_subBook});
        return (m_job.bytes.size() < kJobBytes && m_job.texts.size() < kJobCards) || flush();
    }

    bool contact(Contact contact, std::string_view card) override
    {
        if (!m_job.texts.empty() && !flush())
            return false;
        m_job.subBook = m_subBook;
        m_job.contacts.push_back(std::move(contact));
        if (m_owner.m_whole) {
            m_job.bytes += card;
            m_job.cardEnds.push_back(m_job.bytes.size());
        }
        return (m_job.contacts.size() < kJobCards && m_job.bytes.size() < kJobBytes) || flush();
    }

    bool failure(Failure failure) override
    {
        m_job.failure = std::move(failure);
        return flush();
    }

    bool subBook(std::size_t index) override
    {
        m_subBook = index;
        return m_job.contacts.empty() || flush();
    }

    bool wholeContacts() const override { return m_owner.m_whole; }

    bool wanted() const override
    {
        const std::lock_guard lock(m_owner.m_mutex);
        return !m_owner.m_stopping;
    }

    void showWhile(std::function<bool()> unchanged) override
    {
        if (flush())
            m_owner.showWhile(std::move(unchanged));
    }

    bool restart() override
    {
        m_job = Job();
        return m_owner.restart();
    }

    // Submits what is gathered; false once the walk is gone.
    bool flush()
    {
        if (m_job.texts.empty() && m_job.contacts.empty() && !m_job.failure)
            return wanted();
        const std::size_t bytes = m_job.bytes.size();
        const bool more = m_owner.submit(std::exchange(m_job, Job()));
        m_job.bytes.reserve(bytes);
        return more;
    }

private:
    ReadAhead &m_owner;
    Job m_job;
    std::size_t m_subBook = 0;
};

ReadAhead::ReadAhead(std::unique_ptr<BookReader> reader, QByteArray name, bool whole, CardTransforms transforms)
    : m_reader(std::move(reader))
    , m_name(std::move(name))
    , m_waitsForWalk(m_reader->waitsForWalk())
    , m_whole(whole || transforms)
    , m_transforms(std::move(transforms))
{
}

ReadAhead::~ReadAhead()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_jobsQueued.notify_all();
    m_room.notify_all();
    for (std::thread &thread : m_threads)
        thread.join();
}

bool ReadAhead::next(Contact &contact, std::string_view *card)
{
    start();
    while (true) {
        if (m_given < m_part.contacts.size()) {
            while (!m_part.subBooks.empty() && m_part.subBooks.front().first <= m_given) {
                m_subBook = m_part.subBooks.front().second;
                m_part.subBooks.erase(m_part.subBooks.begin());
            }
            if (card != nullptr) {
                *card = {};
                if (m_given < m_part.cards.size()) {
                    const auto [begin, size] = m_part.cards[m_given];
                    *card = std::string_view(m_part.bytes).substr(begin, size);
                }
            }
            contact = std::move(m_part.contacts[m_given++]);
            return true;
        }
        if (m_part.failure) {
            const Failure failure = std::move(*m_part.failure);
            m_part.failure.reset();
            throw failure;
        }
        if (!takePart())
            return false;
    }
}

void ReadAhead::start()
{
    if (m_started)
        return;
    m_started = true;
    // A book smaller than a piece holds a few hundred cards at most.
    const std::uint64_t size = m_reader->size();
    m_inline = size > 0 && size <= vcard::Cutter::kPieceBytes;
    if (m_inline) {
        m_inlineParser = std::make_unique<Parser>(m_whole, m_transforms ? m_transforms() : nullptr);
        readBook();
        return;
    }
    for (std::size_t i = 0; i < parserCount(); ++i) {
        m_parsers.push_back(std::make_unique<Parser>(m_whole, m_transforms ? m_transforms() : nullptr));
        m_threads.emplace_back([this, parser = m_parsers.back().get()] { parseJobs(*parser); });
    }
    m_threads.emplace_back([this] { readBook(); });
}

void ReadAhead::readBook()
{
    QElapsedTimer timer;
    timer.start();
    Gatherer gatherer(*this);
    try {
        m_reader->read(gatherer);
    } catch (const std::exception &error) {
        gatherer.failure(asFailure(error));
    }
    gatherer.flush();
    {
        const std::lock_guard lock(m_mutex);
        m_readerDone = true;
        qCDebug(lcReads) << "read" << m_name << "in" << timer.elapsed() << "ms, jobs:" << m_first + m_parts.size()
                         << (m_inline ? "on the walk's thread" : "on threads of its own");
    }
    m_jobsQueued.notify_all();
    m_partReady.notify_all();
}

void ReadAhead::parseJobs(Parser &parser)
{
    std::unique_lock lock(m_mutex);
    while (true) {
        m_jobsQueued.wait(lock, [this] { return m_stopping || m_readerDone || !m_queued.empty(); });
        if (m_stopping || m_queued.empty())
            return;
        auto [number, job] = std::move(m_queued.front());
        m_queued.pop_front();
        lock.unlock();
        Part part = parser.parse(job);
        lock.lock();
        // A job of a read that was started over is dropped.
        if (number < m_first)
            continue;
        m_parts[number - m_first] = std::move(part);
        if (number == m_first)
            m_partReady.notify_one();
    }
}

bool ReadAhead::submit(Job job)
{
    if (m_inline) {
        m_parts.emplace_back(m_inlineParser->parse(job));
        return true;
    }
    std::unique_lock lock(m_mutex);
    if (m_stopping)
        return false;
    m_queued.emplace_back(m_first + m_parts.size(), std::move(job));
    m_parts.emplace_back();
    m_jobsQueued.notify_one();
    // Room for the next job before the reader reads on for it.
    if (m_waitsForWalk)
        m_room.wait(lock, [this] { return m_stopping || m_parts.size() < kJobsAhead; });
    return !m_stopping;
}

void ReadAhead::showWhile(std::function<bool()> unchanged)
{
    const std::lock_guard lock(m_mutex);
    m_unchanged = std::move(unchanged);
    m_shownOfCheckedRead = false;
}

bool ReadAhead::restart()
{
    bool again = false;
    {
        const std::lock_guard lock(m_mutex);
        m_first += m_parts.size();
        m_parts.clear();
        m_queued.clear();
        again = !m_shownOfCheckedRead;
    }
    m_partReady.notify_all();
    return again;
}

bool ReadAhead::takePart()
{
    std::unique_lock lock(m_mutex);
    while (true) {
        m_partReady.wait(
            lock, [&] { return (!m_parts.empty() && m_parts.front()) || (m_readerDone && m_parts.empty()); });
        if (m_parts.empty())
            return false;
        // What a read without locks put is shown while its book is as it
        // was; once the read is over, what it left stands.
        if (m_unchanged && !m_readerDone) {
            const std::function<bool()> unchanged = m_unchanged;
            lock.unlock();
            const bool same = unchanged();
            lock.lock();
            if (!same && !m_readerDone) {
                const std::size_t first = m_first;
                m_partReady.wait(lock, [&] { return m_readerDone || m_first != first; });
                continue;
            }
            m_shownOfCheckedRead = true;
        }
        m_part = std::move(*m_parts.front());
        m_parts.pop_front();
        ++m_first;
        m_given = 0;
        lock.unlock();
        m_room.notify_one();
        return true;
    }
}

} // namespace quarrelby

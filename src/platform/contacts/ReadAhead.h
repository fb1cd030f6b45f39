#pragma once

#include "platform/AddressBooks.h"
#include "platform/contacts/BookReader.h"

#include <QByteArray>
#include <QString>

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace quarrelby {

// One address book read ahead of the walk that takes its contacts, and the
// one owner of the threads that reading uses.
//
// A reader thread runs the book's plain reader. What it puts is gathered into
// jobs of a few hundred cards or a quarter of a megabyte of text, each with
// its place in the book; a few parser threads turn jobs into contacts (the
// text of one job's contacts in one shared string), and the walk takes them
// job by job in the book's order. A failure travels as a value behind the
// contacts read before it, and next() throws it at its place.
//
// Why it is as it is:
// - Parsing is most of the work of a read, and it splits into pieces of whole
//   cards: parsers on every core while the walk fills the table, so that two
//   cores list 100,000 contacts within the click's half second.
// - The book's reader runs as it is written, plain and synchronous, on a
//   thread of its own: the file system's waits do not hold up parsing, and a
//   database is read as fast as it gives its rows.
// - A book is read at most kJobsAhead jobs ahead of the walk (a megabyte
//   and a half of text at most, but for cards larger than that): a slow walk
//   holds little, and one given up leaves little read for nothing. A
//   database is read at its own pace, never waiting for the walk, so that
//   no lock of it is held while the walk is slow.
// - A database read without locks is checked before each job of it is
//   shown, and at the end of its read: a job shown while the book is as it
//   was when the read began was read from it as it was. When the check
//   fails, the walk waits for the read's end, whose own check starts the
//   read over (when nothing of it was shown yet) or fails it. Holding the
//   whole read until its end instead kept a Thunderbird book of 100,000
//   contacts at 1.33 times a .vcf's time (0.58 s from the click) and 263 MB.
// - Contacts are handed over a whole job at a time: one lock and one wake-up
//   serve a few hundred contacts.
// - A book smaller than a piece is read and parsed on the walk's own thread:
//   a few cards start no thread at all.
// - A walk that hands contacts whole keeps each part's text until its last
//   contact is given, and each contact's span of it: no copy per card, and
//   nothing more for the table's walk, which keeps none of it. What such a
//   walk makes of each card (an output's bytes) is made by the parsers too:
//   on one thread it took longer than the whole read of the book.
// - Plain threads, one mutex and one condition for each wait (the walk's for
//   the job in front, the reader's for room, a parser's for a job) rather
//   than QtConcurrent: futures would serve the walk's wait alone, and the
//   other two would need a lock and semaphores beside them all the same.
class ReadAhead {
public:
    // name: the book's path, for the log. whole: next() hands each contact's
    // whole vCard text too, or, given transforms, what they make of it.
    ReadAhead(std::unique_ptr<BookReader> reader, QByteArray name, bool whole = false, CardTransforms transforms = {});
    ~ReadAhead();
    ReadAhead(const ReadAhead &) = delete;
    ReadAhead &operator=(const ReadAhead &) = delete;

    // Starts reading, if next() has not.
    void start();
    // The next contact; false after the last. Throws Failure for what could
    // not be read, at its place; the next call goes on after it.
    // card, when given, is the contact's whole vCard text (for a ReadAhead
    // made whole), valid until the next call.
    bool next(Contact &contact, std::string_view *card = nullptr);
    // The sub-book the contact last given comes from (BookSink::subBook).
    [[nodiscard]] std::size_t subBook() const { return m_subBook; }

private:
    // Cards of the book as put, their texts and uids back to back in bytes,
    // or contacts made by the reader; then the failure that came after them.
    struct Job {
        struct Text {
            std::size_t end; // of the text, where its uid begins
            std::size_t uidEnd;
            std::size_t subBook;
        };
        std::string bytes;
        std::vector<Text> texts;
        std::vector<Contact> contacts;
        // The vCards made beside contacts, in bytes, each ending here.
        std::vector<std::size_t> cardEnds;
        std::size_t subBook = 0; // of contacts
        std::optional<Failure> failure;
    };
    struct Part {
        std::vector<Contact> contacts;
        // From contact first on, the contacts come from sub-book second.
        std::vector<std::pair<std::size_t, std::size_t>> subBooks;
        std::optional<Failure> failure;
        // Kept whole: the job's text, and where in it each contact's card
        // begins and how long it is.
        std::string bytes;
        std::vector<std::pair<std::size_t, std::size_t>> cards;
    };
    class Gatherer;
    class Parser;

    void readBook();
    void parseJobs(Parser &parser);
    // The job is whole: to a parser, or parsed here when the book is read on
    // the walk's thread. False once the walk is gone.
    bool submit(Job job);
    void showWhile(std::function<bool()> unchanged);
    bool restart();
    bool takePart();

    std::unique_ptr<BookReader> m_reader;
    const QByteArray m_name;
    const bool m_waitsForWalk;
    const bool m_whole;
    const CardTransforms m_transforms;
    bool m_started = false;
    bool m_inline = false; // read on the walk's thread
    std::unique_ptr<Parser> m_inlineParser;

    std::mutex m_mutex;
    std::condition_variable m_jobsQueued; // for the parsers
    std::condition_variable m_partReady; // for the walk
    std::condition_variable m_room; // for the reader
    std::deque<std::pair<std::size_t, Job>> m_queued; // with its number
    // The part of each job submitted and not yet taken, the first job's
    // number m_first; empty while the job is being parsed.
    std::deque<std::optional<Part>> m_parts;
    std::size_t m_first = 0;
    bool m_readerDone = false;
    bool m_stopping = false;
    // A read without locks: the check of its book, and whether the walk has
    // shown some of it.
    std::function<bool()> m_unchanged;
    bool m_shownOfCheckedRead = false;

    // The walk's own.
    Part m_part;
    std::size_t m_given = 0;
    std::size_t m_subBook = 0;

    // Last: they use everything above.
    std::vector<std::unique_ptr<Parser>> m_parsers;
    std::vector<std::thread> m_threads;
};

} // namespace quarrelby

#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <sys/stat.h>

namespace quarrelby {

// Where --output sends what the command line writes, whatever the format.
// It is settled before any book is read, so that an output that cannot be
// written fails at once:
// - "-", or no --output: standard output;
// - a file that is not a regular one (a character device such as /dev/null
//   or a terminal, a named pipe, or /dev/stdout and /proc/self/fd/N, which
//   name what the program was started with): written into as the shell's
//   ">" writes into it, never replaced;
// - a regular file, new or old, reached through any links: written beside it
//   under no name (O_TMPFILE; where the file system has none, under a
//   hidden name removed on failure), and put in its place in one step by
//   commit(), so that it holds either the complete new output or its old
//   content, whatever signal comes when; an old file's permissions are kept.
//   Where its folder takes no new file it is refused: written in place, a
//   signal or a crash could leave it torn.
// Names are bytes throughout: a name that is not UTF-8 is written as given.
// (QSaveFile, which the window uses, takes names as UTF-8 text.)
// Refused with a Failure naming it: a folder, a block device, a socket, a
// folder that does not exist.
class Output {
public:
    // The bytes of the --output argument; empty or "-" for standard output.
    explicit Output(const QByteArray &path);
    // Without a commit, a regular file stays as it was.
    ~Output();
    Output(const Output &) = delete;
    Output &operator=(const Output &) = delete;

    // The file the output is put in place of, as "folder/name" with the
    // folder's links resolved; empty for a stream (standard output, a device).
    [[nodiscard]] const QByteArray &file() const { return m_file; }
    // The argument as the user wrote it, for messages.
    [[nodiscard]] const QString &shown() const { return m_shown; }

    // Starts writing: a regular file's new content beside it, or a device
    // opened as ">" opens it. Throws Failure naming the output.
    void open();
    void write(QByteArrayView bytes);
    // Puts a file in place; after that a signal no longer changes the exit
    // status (see Console.h). Throws Failure when the output could not be
    // completed, and Interrupted when a signal came first.
    void commit();

private:
    void openStream();
    void openFile();
    void putInPlace();
    [[nodiscard]] QByteArray temporaryName(int attempt) const;
    [[noreturn]] void failWrite(int error) const;

    QByteArray m_path; // the argument's bytes
    QString m_shown;
    QByteArray m_file; // the regular file to replace or make
    bool m_stream = false;
    int m_fd = -1; // the stream, or the new file
    bool m_ownsFd = false;
    // A regular file's folder, and the new file's name there until it
    // replaces the old one: empty while it has none (O_TMPFILE).
    int m_folder = -1;
    QByteArray m_name;
    QByteArray m_temporary;
    bool m_inPlace = false;
    off_t m_written = 0;
    off_t m_writebackStart = 0;
};

} // namespace quarrelby

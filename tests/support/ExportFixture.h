#pragma once

#include "ScriptedShell.h"
#include "core/ActionContext.h"
#include "core/BusyState.h"
#include "core/ResultList.h"
#include "platform/qt/SaveFileWriter.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace quarrelby::test {

// A list described by rows of strings: the first entry of a row is "x" when
// the row is ticked and "" when not, the cells follow.
void fillList(ResultList &list, const QStringList &headers, const QList<QStringList> &rows);

// count rows of columns cells in the context fillList takes, of every kind of
// text the exports treat apart: ASCII, two-, three- and four-byte UTF-8,
// unpaired surrogates at either end of a cell, quotes, commas, TABs, line
// breaks and empty cells. About one row in five is unticked. The same rows
// every time.
[[nodiscard]] QList<QStringList> variedRows(int count, int columns);

// The widest text of every column: its header and every cell, ticked or not,
// in UTF-16 code units.
[[nodiscard]] QList<qsizetype> widestCells(const QStringList &headers, const QList<QStringList> &rows);

[[nodiscard]] QByteArray readFile(const QString &path);
// Makes the folders on the way.
void writeFile(const QString &path, const QByteArray &bytes);
// The names in a folder, hidden ones included, sorted.
[[nodiscard]] QStringList folderEntries(const QString &folder);

// The window's side of an export: a scripted shell that asks the real file
// system, the product's file writer, an empty list and the busy state.
struct ExportHarness {
    ExportHarness();

    // Makes the file writer one that puts filter between it and the file
    // (none: the product's).
    void useFileWriter(SaveFileWriter::DeviceFilter filter);

    ScriptedShell shell;
    std::unique_ptr<SaveFileWriter> files;
    ResultList list;
    BusyState busy;
    ActionContext context;
    // The busy state's changes, with the number of messages shown by then.
    QList<std::pair<bool, qsizetype>> busyHistory;
};

// Arranges a save that fails: "device" writes through a device that fails
// after limit bytes, "full" through one on a full disk that gives no reason of
// its own, "clear" empties the list at yield number limit, anything else saves
// below a regular file. Returns the path to save to.
[[nodiscard]] QString arrangeFailedSave(ExportHarness &h, const QString &how, int limit, const QString &path);

} // namespace quarrelby::test

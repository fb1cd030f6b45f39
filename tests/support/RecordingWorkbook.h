#pragma once

#include "platform/Failure.h"
#include "platform/WorkbookExport.h"

#include <QList>
#include <QMap>
#include <QSet>
#include <QString>

#include <memory>
#include <utility>

namespace quarrelby::test {

using Cell = std::pair<int, int>; // (row, column)

// A spreadsheet program that records what the workbook export gives it: the
// cells in the order they are set, and the workbooks made and shown. It fails
// where a test asks it to, with "Scripted failure at ...".
class RecordingSpreadsheets : public Spreadsheets {
public:
    bool missing = false; // require() fails: no spreadsheet program
    bool failNew = false; // newWorkbook() fails
    QSet<Cell> failing; // cells whose setCell fails

    QList<Cell> order;
    QMap<Cell, QString> cells;
    int made = 0;
    int shown = 0; // workbooks handed to the program

    void require() override
    {
        if (missing)
            throw Failure(QStringLiteral("Scripted failure at require"));
    }

    std::unique_ptr<WorkbookExport> newWorkbook() override
    {
        if (failNew)
            throw Failure(QStringLiteral("Scripted failure at newWorkbook"));
        ++made;
        return std::make_unique<Recorded>(*this);
    }

private:
    class Recorded : public WorkbookExport {
    public:
        explicit Recorded(RecordingSpreadsheets &owner)
            : m_owner(owner)
        {
        }

        void setCell(int row, int column, const QString &text) override
        {
            if (m_owner.failing.contains({row, column}))
                throw Failure(QStringLiteral("Scripted failure at cell (%1,%2)").arg(row).arg(column));
            m_owner.order << Cell {row, column};
            m_owner.cells[{row, column}] = text;
        }

        void show() override { ++m_owner.shown; }

    private:
        RecordingSpreadsheets &m_owner;
    };
};

} // namespace quarrelby::test

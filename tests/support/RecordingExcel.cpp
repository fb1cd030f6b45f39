#include "RecordingExcel.h"

#include <memory>
#include <vector>

namespace quarrelby::test {

namespace {

QString argumentText(ExcelArgs args)
{
    if (args.size() == 0)
        return {};
    QStringList parts;
    for (const QVariant &a : args)
        parts << a.toString();
    return QLatin1Char('(') + parts.join(QLatin1Char(',')) + QLatin1Char(')');
}

class Recorded : public ExcelObject {
public:
    Recorded(RecordingExcelData &data, QString name, std::vector<QVariant> cell = {})
        : m_data(data)
        , m_name(std::move(name))
        , m_cell(std::move(cell))
    {
    }

    Ref invoke(QStringView member, ExcelArgs args) override
    {
        const QString call = record(member, args);
        if (member.compare(u"Workbooks", Qt::CaseInsensitive) == 0)
            return make(QStringLiteral("Workbooks"));
        if (member.compare(u"add", Qt::CaseInsensitive) == 0)
            return make(QStringLiteral("Workbook"));
        if (member.compare(u"ActiveSheet", Qt::CaseInsensitive) == 0)
            return make(QStringLiteral("Sheet"));
        if (member.compare(u"cells", Qt::CaseInsensitive) == 0)
            return make(QStringLiteral("Cell") + argumentText(args), args);
        if (member.compare(u"Columns", Qt::CaseInsensitive) == 0)
            return make(QStringLiteral("Columns") + argumentText(args));
        if (member.compare(u"Autofit", Qt::CaseInsensitive) == 0)
            return nullptr;
        throw AutomationError(QStringLiteral("Object doesn't support this property or method"));
    }

    QVariant get(QStringView member, ExcelArgs args) override
    {
        record(member, args);
        return {};
    }

    void put(QStringView member, ExcelArgs args, const QVariant &value) override
    {
        const QString call = m_name + QLatin1Char('.') + member.toString() + argumentText(args);
        if (m_data.failing.contains(call)) {
            m_data.calls << call + QStringLiteral(" failed");
            throw AutomationError(QStringLiteral("Scripted failure at ") + call);
        }
        m_data.calls << call + QLatin1Char('=') + value.toString();
        if (member.compare(u"Visible", Qt::CaseInsensitive) == 0)
            m_data.visible = value.toBool();
        else if (member.compare(u"cells", Qt::CaseInsensitive) == 0)
            store(args, value);
        else if (member.compare(u"Value", Qt::CaseInsensitive) == 0)
            store(m_cell, value);
    }

private:
    QString record(QStringView member, ExcelArgs args)
    {
        const QString call = m_name + QLatin1Char('.') + member.toString() + argumentText(args);
        if (m_data.failing.contains(call)) {
            m_data.calls << call + QStringLiteral(" failed");
            throw AutomationError(QStringLiteral("Scripted failure at ") + call);
        }
        m_data.calls << call;
        return call;
    }

    Ref make(const QString &name, ExcelArgs cell = {})
    {
        return std::make_shared<Recorded>(m_data, name, std::vector<QVariant>(cell.begin(), cell.end()));
    }

    template <class Args> void store(const Args &cell, const QVariant &value)
    {
        if (cell.size() != 2)
            throw AutomationError(QStringLiteral("Wrong number of arguments or invalid property assignment"));
        auto it = cell.begin();
        const int row = it->toInt();
        const int column = (++it)->toInt();
        m_data.cells[{row, column}] = value.toString();
    }

    RecordingExcelData &m_data;
    QString m_name;
    std::vector<QVariant> m_cell; // row and column of a cell
};

class RecordedApplication : public Recorded {
public:
    explicit RecordedApplication(RecordingExcelData &data)
        : Recorded(data, QStringLiteral("Application"))
        , m_data(data)
    {
        ++m_data.created;
    }
    ~RecordedApplication() override { ++m_data.released; }

private:
    RecordingExcelData &m_data;
};

} // namespace

void registerRecordingExcel(AutomationFactory &automation, RecordingExcelData &data)
{
    automation.registerClass(QStringLiteral("Excel.Application"), [&data]() -> std::unique_ptr<AutomationObject> {
        if (data.failCreate)
            throw AutomationError(QStringLiteral("ActiveX component can't create object"));
        return std::make_unique<RecordedApplication>(data);
    });
}

} // namespace quarrelby::test

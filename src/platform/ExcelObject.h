#pragma once

#include "platform/Automation.h"

#include <QStringView>
#include <QVariant>

#include <initializer_list>
#include <memory>

namespace quarrelby {

using ExcelArgs = std::initializer_list<QVariant>;

// A late-bound object of the spreadsheet program ("Excel.Application" and what
// it hands out). Members are found by name without regard to case, as
// automation does; a name the object does not know throws AutomationError
// "Object doesn't support this property or method".
class ExcelObject : public AutomationObject {
public:
    using Ref = std::shared_ptr<ExcelObject>;

    // Calls a method, or reads a property whose value is an object. Methods
    // without a result give nullptr.
    virtual Ref invoke(QStringView member, ExcelArgs args = {}) = 0;
    // Reads a property whose value is plain data.
    [[nodiscard]] virtual QVariant get(QStringView member, ExcelArgs args = {}) = 0;
    // Assigns to a property; an empty member names the default property.
    virtual void put(QStringView member, ExcelArgs args, const QVariant &value) = 0;
};

} // namespace quarrelby

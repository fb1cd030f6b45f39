#pragma once

#include "format/Contact.h"
#include "platform/Automation.h"

#include <QString>
#include <QVariant>

#include <memory>

namespace quarrelby {

// The part of Outlook's object model that the extraction uses. Every member may
// throw AutomationError with a description for the user.

class OutlookItem {
public:
    virtual ~OutlookItem() = default;
    // True for a contact item, false for a distribution list or anything else.
    [[nodiscard]] virtual bool isContactItem() = 0;
    // A property: a QString, or a QDate/QDateTime for a date. An id outside
    // the list of properties throws.
    [[nodiscard]] virtual QVariant property(ContactProperty id) = 0;
    // The same without a copy, for a property whose value is text: true with
    // the text, which stays valid while the item lives; false when the value
    // is not text or the item does not lend it (then ask property()).
    [[nodiscard]] virtual bool propertyText(ContactProperty id, QStringView &text)
    {
        (void)id;
        (void)text;
        return false;
    }
};

// A collection that is walked once, first item to last.
class OutlookItems {
public:
    virtual ~OutlookItems() = default;
    // The next item, or nullptr after the last. A throw reports an item that
    // could not be read; the collection has then moved past it.
    [[nodiscard]] virtual std::unique_ptr<OutlookItem> next() = 0;
};

class OutlookFolder {
public:
    virtual ~OutlookFolder() = default;
    [[nodiscard]] virtual std::unique_ptr<OutlookItems> items() = 0;
};

class OutlookNamespace {
public:
    virtual ~OutlookNamespace() = default;
    [[nodiscard]] virtual std::unique_ptr<OutlookFolder> getDefaultFolder(int folderType) = 0;
};

class OutlookApplication : public AutomationObject {
public:
    [[nodiscard]] virtual std::unique_ptr<OutlookNamespace> getNamespace(const QString &type) = 0;
    virtual void quit() = 0;
};

inline constexpr int olFolderContacts = 10;

// Creating "Outlook.Application" fails with this when the user has no
// address book at all. The description is a paragraph naming the places
// that were searched.
class NoAddressBookError : public AutomationError {
public:
    using AutomationError::AutomationError;
};

} // namespace quarrelby

#pragma once

#include "platform/Outlook.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QVariant>

#include <memory>

namespace quarrelby::test {

// One item of a scripted Contacts folder.
struct ScriptedItem {
    bool contact = true;
    QMap<ContactProperty, QVariant> properties; // missing ones read as empty text
    QList<ContactProperty> failingProperties; // reads of these throw
    bool failTypeTest = false;
    bool failToRead = false; // the collection cannot hand out this item
};

// What the scripted Outlook saw, for assertions.
struct OutlookLog {
    int created = 0;
    int quits = 0;
    int propertyReads = 0;
};

// An in-memory Outlook: the folder's items, and failures at named members.
struct ScriptedOutlookData {
    QList<ScriptedItem> items;
    bool failCreate = false;
    bool failNamespace = false;
    bool failFolder = false;
    bool failItems = false;
    bool failQuit = false;
    OutlookLog log;
};

// Registers "Outlook.Application" over data (which must outlive the factory).
void registerScriptedOutlook(AutomationFactory &automation, ScriptedOutlookData &data);

// The 34 properties with a distinct value each ("FullName 3"), for item number n.
[[nodiscard]] ScriptedItem fullContact(int n);

} // namespace quarrelby::test

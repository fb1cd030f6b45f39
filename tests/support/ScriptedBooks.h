#pragma once

#include "platform/AddressBooks.h"

#include <QList>

namespace quarrelby::test {

// Address books in memory: their contacts, and failures at given places.
struct ScriptedBooks : AddressBooks {
    QList<Contact> contacts;
    bool failOpen = false;
    // Indexes into contacts whose read fails ("Cannot read item 1" for the
    // first); the walk moves past them.
    QList<qsizetype> unreadable;

    // How often each was asked.
    int discoveries = 0;
    int opens = 0;

    void discover() override;
    std::unique_ptr<ContactWalk> open() override;
};

// The 34 properties with a distinct value each ("FullName 3"), for contact n.
[[nodiscard]] Contact fullContact(int n);

} // namespace quarrelby::test

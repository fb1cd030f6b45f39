#pragma once

#include "platform/Outlook.h"

#include <QString>

namespace quarrelby {

// Where the user's address book is: QUARRELBY_CONTACTS when set, else
// $XDG_DATA_HOME/contacts (by default ~/.local/share/contacts).
[[nodiscard]] QString contactStoreLocation();

// "Outlook.Application" over a vCard address book: a folder of .vcf/.vcard
// files, or one .vcf file. The Contacts folder yields the cards in a stable
// order: files by name, then cards in file order. Files are read as the walk
// reaches them, so only one file and one card are held at a time.
class ContactStoreApplication : public OutlookApplication {
public:
    // Throws AutomationError, naming the path, when the location does not
    // exist or cannot be read.
    explicit ContactStoreApplication(QString location);

    [[nodiscard]] std::unique_ptr<OutlookNamespace> getNamespace(const QString &type) override;
    void quit() override;

    [[nodiscard]] const QString &location() const { return m_location; }

private:
    QString m_location;
    bool m_quit = false;
};

class AutomationFactory;

// Registers "Outlook.Application" as the contact store at contactStoreLocation().
void registerContactStore(AutomationFactory &automation);

} // namespace quarrelby

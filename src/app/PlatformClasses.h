#pragma once

namespace quarrelby {

class AutomationFactory;
class Shell;

// Registers the product's automation classes by programmatic identifier.
// None at present: the workbook export and the address books are services
// of their own (Spreadsheets, AddressBooks).
void registerPlatformClasses(AutomationFactory &automation, Shell &shell);

} // namespace quarrelby

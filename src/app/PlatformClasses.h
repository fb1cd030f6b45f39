#pragma once

namespace quarrelby {

class AutomationFactory;
class Shell;

// Registers the product's stand-ins for "Outlook.Application" and
// "Excel.Application".
void registerPlatformClasses(AutomationFactory &automation, Shell &shell);

} // namespace quarrelby

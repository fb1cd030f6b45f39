#pragma once

namespace quarrelby {

class AutomationFactory;
class Shell;

// Registers the product's stand-in for "Excel.Application".
void registerPlatformClasses(AutomationFactory &automation, Shell &shell);

} // namespace quarrelby

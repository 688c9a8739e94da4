// "uninstalllanguage NAME": the compiler adds the uninstaller's language
// file NAME to the archive.
#include "engine/command_class.h"

namespace ferry {

extern const CommandDescriptor kUninstallLanguageCommand;
const CommandDescriptor kUninstallLanguageCommand{.Keyword = "uninstalllanguage", .IsSetting = false, .GroupKind = 0,
                                                  .MinParams = 1, .MaxParams = 1,
                                                  .LanguageEntryPrefix = "UNINSTALL_LANGUAGE-"};

}  // namespace ferry

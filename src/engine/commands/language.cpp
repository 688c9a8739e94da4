// "language NAME": the compiler adds the language file NAME to the archive.
#include "engine/command_class.h"

namespace ferry {

extern const CommandDescriptor kLanguageCommand;
const CommandDescriptor kLanguageCommand{.Keyword = "language", .IsSetting = false, .GroupKind = 0, .MinParams = 1,
                                         .MaxParams = 1, .LanguageEntryPrefix = "LANGUAGE-"};

}  // namespace ferry

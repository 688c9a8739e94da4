#include "engine/elevated_run.h"

#include <vector>

#include "base/dialogs.h"
#include "engine/run_record.h"
#include "engine/stub_command_line.h"
#include "formats/languages/languages.h"
#include "formats/languages/text_ids.h"

namespace ferry {

std::string ElevatedParameters(std::string_view commandLine) {
  std::vector<size_t> ends;
  const std::vector<std::string> pieces = SplitCommandLine(commandLine, &ends);
  std::string_view rest = pieces.empty() ? std::string_view() : commandLine.substr(ends[0]);
  while (!rest.empty() && (rest.front() == ' ' || rest.front() == '\t')) rest.remove_prefix(1);
  return "/ELEVATED /ALLUSERS" + (rest.empty() ? std::string() : " " + std::string(rest));
}

int RunForEveryone(Elevation& elevation, std::string_view commandLine, Dialogs& dialogs,
                   const LanguageList& languages, ElevatedWork work) {
  if (std::optional<int> code = elevation.RunElevatedCopy(ElevatedParameters(commandLine))) return *code;
  const std::u16string text = work == ElevatedWork::kRemove
                                  ? languages.GetTextOr(kTextRemovalElevationDeclined, kRemovalElevationDeclinedEnglish)
                                  : languages.GetTextOr(kTextElevationDeclined, kElevationDeclinedEnglish);
  dialogs.ShowUnicode(text, u"Setup", DialogButtons::kOk, DialogIcon::kError);
  return kExitCancelled;
}

}  // namespace ferry

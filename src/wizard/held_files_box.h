// What the wizard answers about files running programs hold
// (engine/files_in_use.h): with /RESTARTOK they wait for the next restart;
// a silent run otherwise stops; with a window a box names them with Retry
// and Cancel, and, when the script allows it ("replaceatrestart"), with
// Continue, which leaves them to the next restart as /RESTARTOK does. Its
// texts come from the setup's language tables.
#pragma once

#include <string>
#include <vector>

#include "base/dialogs.h"
#include "engine/files_in_use.h"

namespace ferry {

class LanguageList;

struct HeldFilesBoxOptions {
  bool RestartOk = false;       // /RESTARTOK: nobody is asked
  bool OfferRestart = false;  // the script allows the box's third choice
};

class HeldFilesBox : public HeldFilesPrompt {
 public:
  HeldFilesBox(Dialogs& dialogs, const LanguageList& languages, HeldFilesBoxOptions options)
      : dialogs_(dialogs), languages_(languages), options_(options) {}
  HeldFilesAnswer Ask(const std::vector<HeldFile>& held, bool atRestartPossible) override;

 private:
  Dialogs& dialogs_;
  const LanguageList& languages_;
  HeldFilesBoxOptions options_;
};

// The box's text: the lead, each held file with the programs holding it,
// and what the buttons do (with or without the restart choice).
std::u16string HeldFilesBoxText(const LanguageList& languages, const std::vector<HeldFile>& held, bool offerRestart);

}  // namespace ferry

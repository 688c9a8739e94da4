// What the wizard answers about files running programs hold
// (engine/files_in_use.h): with /RESTARTOK they wait for the next restart;
// a silent run otherwise stops; with a window a box names them with Retry
// and Cancel.
#pragma once

#include "base/dialogs.h"
#include "engine/files_in_use.h"

namespace ferry {

class HeldFilesBox : public HeldFilesPrompt {
 public:
  HeldFilesBox(Dialogs& dialogs, bool restartOk) : dialogs_(dialogs), restart_ok_(restartOk) {}
  HeldFilesAnswer Ask(const std::vector<HeldFile>& held, bool atRestartPossible) override;

 private:
  Dialogs& dialogs_;
  bool restart_ok_;
};

}  // namespace ferry

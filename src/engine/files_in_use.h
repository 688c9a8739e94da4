// Files in use: before a run changes anything, the files its lines would
// replace, remove or rename and the product archives they would write are
// looked at, and those running programs hold are settled first: the user
// closes the programs and retries, or they are replaced at the next restart,
// or the run does not start.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "engine/system.h"

namespace ferry {

struct SetupContext;

enum class HeldFilesAnswer { kRetry, kStop, kCancel, kAtRestart };

// Asks what to do about held files; the wizard's side gives the answer (a
// box, a silent run's switch), never a command.
class HeldFilesPrompt {
 public:
  virtual ~HeldFilesPrompt() = default;
  // atRestartPossible: every held file can be replaced at the next restart
  // (a product archive, written in place, cannot).
  virtual HeldFilesAnswer Ask(const std::vector<HeldFile>& held, bool atRestartPossible) = 0;
};

// What the run's lines would act on: payload files, files deleted, renamed
// or copied over (Replaced) and product archives written in place
// (Archives), as the lines expand them; which of them are there is the
// system's look-up.
struct RunTargets {
  std::vector<std::string> Replaced;
  std::vector<std::string> Archives;
};
RunTargets FilesTheRunChanges(SetupContext& ctx, System& system);

// "it is in use by Game" ("... by another program" when none is named).
std::string InUseReason(const HeldFile& held);

// Settles the held files before the run's first change. True: the run may
// start, with the files to replace at the next restart in *atRestart.
// False: it must not (stopped or cancelled, said in ctx.Record, each held
// file named on a problem line). No prompt: a held file stops the run.
bool SettleHeldFiles(SetupContext& ctx, System& system, HeldFilesPrompt* prompt, std::set<std::string>* atRestart);

}  // namespace ferry

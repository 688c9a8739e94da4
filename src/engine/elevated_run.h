// A run for everyone on the computer, asked for by a setup that started
// without administrator rights: a copy of the program started through the
// system's elevation prompt does the work, and its exit code is the run's.
// Where the copy comes from is the platform's (Elevation); what it is given
// and what a declined prompt means is decided here.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace ferry {

class Dialogs;
class LanguageList;

class Elevation {
 public:
  virtual ~Elevation() = default;
  // Starts the own program with `parameters` (UTF-8) elevated and waits for
  // it: its exit code; none when it did not start (the prompt was declined,
  // or the system refused).
  virtual std::optional<int> RunElevatedCopy(const std::string& parameters) = 0;
};

// The parameters of a command line (UTF-8, program name first) for the
// elevated copy: everything after the program's name, with "/ELEVATED
// /ALLUSERS" put first, so that the copy neither asks again nor sees them
// after "/D=", which must stay last.
std::string ElevatedParameters(std::string_view commandLine);

enum class ElevatedWork { kInstall, kRemove };

// Runs the elevated copy: its exit code. A declined prompt is said in the
// setup's language, in the words of the work that was asked for, and ends
// the run with kExitCancelled, nothing changed.
int RunForEveryone(Elevation& elevation, std::string_view commandLine, Dialogs& dialogs,
                   const LanguageList& languages, ElevatedWork work = ElevatedWork::kInstall);

}  // namespace ferry

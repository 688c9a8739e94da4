// A second copy of the running program, started with administrator rights
// through the system's elevation prompt: how a setup that needs no rights
// for a user's install gets them for a machine's.
#pragma once

#include <optional>
#include <string>

namespace ferry {

// The parameters of this process's command line (everything after the
// program's name), with "/ELEVATED /ALLUSERS" put first, so that the copy
// neither asks again nor sees them after "/D=", which must stay last.
std::wstring ElevatedParameters(const std::wstring& commandLine);

// Starts the own program with `parameters` through the "runas" verb and
// waits for it: its exit code; none when it could not be started (the
// prompt was declined, or the system refused).
std::optional<unsigned long> RunElevatedCopy(const std::wstring& parameters);

}  // namespace ferry

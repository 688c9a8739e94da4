// Files that running programs hold, and the system's moves at the next
// restart (WinSystem's FindHeldFiles and MoveAtRestart).
#pragma once

#include <string>
#include <vector>

#include "engine/system.h"

namespace ferry {

// Of `paths`, the files there that cannot be opened for writing and
// removing beside the programs that have them open, still after a moment's
// wait (up to 2 s when any is refused); the programs as the Restart Manager
// names them, when the system has it and it names any.
std::vector<HeldFile> FindHeldFiles(const std::vector<std::string>& paths);

// MoveFileEx with MOVEFILE_DELAY_UNTIL_REBOOT: `from` over `to`, or `from`
// removed when `to` is empty.
bool MoveAtRestart(const std::string& from, const std::string& to);

}  // namespace ferry

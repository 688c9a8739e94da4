// The removal of the uninstaller's own file, which cannot go while it runs.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace ferry {

class PrivateFolder;

// After the uninstall work: a copy of the running program in the run's
// private folder waits for this process to end, deletes `programPath`,
// removes the folders of `directories` (last first) that are then empty, and
// has its own file and the private folder deleted (the folder is handed
// over to it). Paths of any length and letters reach it through its
// environment. True when the copy was started.
bool ScheduleSelfRemoval(const std::string& programPath, const std::vector<std::string>& directories,
                         PrivateFolder& temp);

// First thing in the main of a program that calls ScheduleSelfRemoval: in
// the copy it started, does the removal and gives the exit code; elsewhere
// nothing (nullopt).
std::optional<int> RunSelfRemovalIfAsked();

}  // namespace ferry

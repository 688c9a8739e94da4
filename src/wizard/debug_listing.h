// The text of the debug window: the archive's header and directory and the
// setup information, one string per line.
#pragma once

#include <string>
#include <vector>

namespace ferry {

class PakReader;
struct SetupInfoRecord;

std::vector<std::string> DebugListingLines(const PakReader& pak, const SetupInfoRecord& info);

}  // namespace ferry

// What the run needs of the "file" command before its first line: the
// target folder of a line, and the check of every installed file a delta
// entry is made against.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "formats/pak/group_extractor.h"

namespace ferry {

class System;
struct SetupContext;
struct CompLine;

// The folder a "file" line extracts into: the install folder or a
// subfolder of it; none when its registry condition does not hold or its
// subfolder leads out (said through the progress when `report`).
std::optional<std::string> FileLineFolder(SetupContext& ctx, System* system, const CompLine& line, bool report);

// Every delta entry of the setup's "file" lines is checked against the file
// installed at its path (size and SHA-256), before anything of the run is
// written. One whose file is the delta's result already is left (in
// plan.AlreadyMade); one whose file is missing or differs is written from
// its whole twin when the archive carries one (plan.WholeInstead); otherwise
// it is named through the progress as a file not written, and the result is
// false: the run must not start.
bool CheckDeltaBases(SetupContext& ctx, System& system, DeltaPlan& plan);

}  // namespace ferry

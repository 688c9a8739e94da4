// What the commands of one run act on, given to each command's run step
// for the run's length: the setup thread builds it around the run's
// journaled system, so nothing a command changes escapes the journal.
#pragma once

#include "formats/pak/group_extractor.h"

namespace ferry {

class FileSystem;
class System;

class CommandRun {
 public:
  explicit CommandRun(ferry::System* system, DeltaPlan deltas = {}) : System(system), Deltas(std::move(deltas)) {}

  // None: the commands that act on the system do nothing.
  ferry::System* const System;
  // The system's files, or the host's disk where no system was given
  // (tools and tests).
  FileSystem& Files() const;
  // Delta entries not applied as they are (see CheckDeltaBases).
  const DeltaPlan Deltas;
};

}  // namespace ferry

// What the commands of one run act on, given to each command's run step
// for the run's length: the setup thread builds it around the run's
// journaled system, so nothing a command changes escapes the journal.
#pragma once

#include <cstddef>
#include <set>

namespace ferry {

class FileSystem;
class System;

class CommandRun {
 public:
  explicit CommandRun(ferry::System* system, std::set<size_t> wholeInstead = {})
      : System(system), WholeInstead(std::move(wholeInstead)) {}

  // None: the commands that act on the system do nothing.
  ferry::System* const System;
  // The system's files, or the host's disk where no system was given
  // (tools and tests).
  FileSystem& Files() const;
  // Delta entries (by archive index) whose installed file is not their
  // base: their whole twin is written instead (see CheckDeltaBases).
  const std::set<size_t> WholeInstead;
};

}  // namespace ferry

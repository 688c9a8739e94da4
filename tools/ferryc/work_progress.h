// Progress of ferryc's long commands (compile, extract) and their closing
// summary.
//
// The counter goes to standard error and only when that is a terminal: a run
// whose output is redirected or piped prints what it printed before, plus the
// summary line on standard output.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

namespace ferry::tool {

// True when standard error is a terminal (a console on Windows).
bool StandardErrorIsTerminal();

class WorkProgress {
 public:
  // The clock starts here. `show` false (-q) or standard error not a
  // terminal: Step and Finish print nothing.
  explicit WorkProgress(bool show);
  ~WorkProgress() { Finish(); }

  // What the work will go through.
  void SetTotal(size_t files, uint64_t bytes);
  // After each file; redraws at most ten times a second and for the last file.
  void Step(size_t filesDone, uint64_t bytesDone);
  // Clears the counter's line.
  void Finish();
  double Seconds() const;

 private:
  bool show_;
  size_t total_files_ = 0;
  uint64_t total_bytes_ = 0;
  size_t drawn_width_ = 0;
  std::chrono::steady_clock::time_point start_, last_draw_;
};

// "37.2 %": `part` as a share of `whole` (0 % when whole is 0).
std::string Percent(uint64_t part, uint64_t whole);

}  // namespace ferry::tool

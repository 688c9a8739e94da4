// setup-stub-faults.exe: the stub as shipped, with an entry point that gives
// the run a fault hook. FERRY_TEST_STOP_AFTER_RECORDS=N ends the process dead
// (exit code 99), as a kill would, once the run's journal holds N records;
// unset or 0, nothing is hooked.
#include <windows.h>

#include <cstdlib>

#include "app/run_stub.h"
#include "engine/run_journal/run_journal.h"
#include "platform/system_library.h"

namespace {

class StopAfterRecords : public ferry::JournalFaults {
 public:
  explicit StopAfterRecords(size_t limit) : limit_(limit) {}
  void RecordNoted(size_t records) override {
    if (records >= limit_) std::_Exit(99);
  }

 private:
  size_t limit_;
};

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  ferry::RestrictDllSearchToSystem();
  const char* text = std::getenv("FERRY_TEST_STOP_AFTER_RECORDS");
  const size_t limit = text ? static_cast<size_t>(std::strtoull(text, nullptr, 10)) : 0;
  if (limit == 0) return ferry::RunStub(nullptr);
  StopAfterRecords stop(limit);
  return ferry::RunStub(&stop);
}

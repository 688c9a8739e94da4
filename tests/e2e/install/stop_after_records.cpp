// setup-stub-faults.exe: the stub as shipped, with an entry point that gives
// the run a fault hook. FERRY_TEST_STOP_AFTER_RECORDS=N ends the process dead
// (exit code 99), as a kill would, once the run's journal holds N records;
// a run that ends before that writes "journal records: M" (the most its
// journal held) to standard error. Unset or 0, nothing is hooked.
#include <windows.h>

#include <cstdlib>
#include <string>

#include "app/run_stub.h"
#include "engine/run_journal/run_journal.h"
#include "platform/system_library.h"

namespace {

class StopAfterRecords : public ferry::JournalFaults {
 public:
  explicit StopAfterRecords(size_t limit) : limit_(limit) {}
  void RecordNoted(size_t records) override {
    if (records >= limit_) std::_Exit(99);
    if (records > most_) most_ = records;
  }
  size_t Most() const { return most_; }

 private:
  size_t limit_;
  size_t most_ = 0;
};

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  ferry::RestrictDllSearchToSystem();
  const char* text = std::getenv("FERRY_TEST_STOP_AFTER_RECORDS");
  const size_t limit = text ? static_cast<size_t>(std::strtoull(text, nullptr, 10)) : 0;
  if (limit == 0) return ferry::RunStub(nullptr);
  StopAfterRecords stop(limit);
  const int code = ferry::RunStub(&stop);
  const std::string line = "journal records: " + std::to_string(stop.Most()) + "\n";
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_ERROR_HANDLE), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  return code;
}

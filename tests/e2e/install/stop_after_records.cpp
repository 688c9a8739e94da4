// setup-stub-faults.exe: the stub as shipped, with an entry point that gives
// the run a fault hook. FERRY_TEST_STOP_AFTER_RECORDS=N ends the process dead
// (exit code 99), as a kill would, once the run's journal holds N records;
// a run that ends before that writes "journal records: M" (the most its
// journal held) to standard error. Unset or 0, nothing is hooked. With
// FERRY_TEST_STOP_IN_FILE=1 as well, the stop waits from that record on for
// the first bytes of a payload file written at its own name, says
// "stopped writing PATH" and ends there, the file open and perhaps partial.
#include <windows.h>

#include <cstdlib>
#include <string>

#include "app/run_stub.h"
#include "engine/run_journal/run_journal.h"
#include "platform/system_library.h"

namespace {

void Say(const std::string& line) {
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_ERROR_HANDLE), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

class StopAfterRecords : public ferry::JournalFaults {
 public:
  StopAfterRecords(size_t limit, bool inFile) : limit_(limit), in_file_(inFile) {}
  void RecordNoted(size_t records) override {
    if (records >= limit_ && !in_file_) std::_Exit(99);
    if (records > most_) most_ = records;
  }
  void FreshFileBegun(const std::string& path) override {
    if (!in_file_ || most_ < limit_) return;
    Say("stopped writing " + path + "\n");
    std::_Exit(99);
  }
  size_t Most() const { return most_; }

 private:
  size_t limit_;
  bool in_file_;
  size_t most_ = 0;
};

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  ferry::RestrictDllSearchToSystem();
  const char* text = std::getenv("FERRY_TEST_STOP_AFTER_RECORDS");
  const size_t limit = text ? static_cast<size_t>(std::strtoull(text, nullptr, 10)) : 0;
  if (limit == 0) return ferry::RunStub(nullptr);
  const char* inFile = std::getenv("FERRY_TEST_STOP_IN_FILE");
  StopAfterRecords stop(limit, inFile && std::string(inFile) == "1");
  const int code = ferry::RunStub(&stop);
  Say("journal records: " + std::to_string(stop.Most()) + "\n");
  return code;
}

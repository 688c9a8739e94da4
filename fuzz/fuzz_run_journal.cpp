// Run journals from untrusted bytes: recovery deletes only files the journal
// names as created by its run, and changes no file it does not name.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <span>
#include <string>
#include <vector>

#include "base/memory_file_system.h"
#include "base/random_access_file.h"
#include "engine/run_journal/run_journal.h"
#include "engine/run_journal/run_recovery.h"
#include "formats/run_journal/run_journal_format.h"

namespace {

const char* const kFolder = "C:\\app";

bool Named(const ferry::RunJournalContents& journal, const std::string& path) {
  return std::any_of(journal.Records.begin(), journal.Records.end(), [&](const ferry::JournalRecord& r) {
    // An archive's own side files go by its own rules.
    const bool side = r.Kind == ferry::JournalRecordKind::kArchiveUpdate &&
                      (path == r.Path + ".undo" || path == r.Path + ".journal");
    return r.Path == path || r.Other == path || r.Aside == path || side;
  });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::span<const uint8_t> bytes(data, size);
  std::optional<ferry::RunJournalContents> parsed = ferry::ParseRunJournal(bytes);
  if (parsed) {
    // What was read encodes to a prefix of the input.
    std::vector<uint8_t> again = ferry::EncodeJournalHeader(parsed->Header);
    for (const ferry::JournalRecord& r : parsed->Records) {
      std::vector<uint8_t> rec = ferry::EncodeJournalRecord(r);
      again.insert(again.end(), rec.begin(), rec.end());
    }
    if (again.size() > size || !std::equal(again.begin(), again.end(), data)) std::abort();
  }
  {
    // Read from a file in small blocks, and each record alone: the same records.
    ferry::MemoryFile file(std::vector<uint8_t>(bytes.begin(), bytes.end()));
    uint64_t at = 0;
    std::optional<ferry::JournalHeader> header = ferry::ReadJournalHeader(file, at);
    if (header.has_value() != parsed.has_value()) std::abort();
    ferry::JournalReader reader(file, at, 16);
    size_t n = 0;
    uint64_t start = 0;
    while (header) {
      std::optional<ferry::JournalRecord> rec = reader.Next(start);
      if (!rec) break;
      uint64_t alone = start;
      std::optional<ferry::JournalRecord> again = ferry::ReadJournalRecord(file, alone);
      if (n >= parsed->Records.size() || !again || alone != reader.Offset() ||
          ferry::EncodeJournalRecord(*rec) != ferry::EncodeJournalRecord(parsed->Records[n]) ||
          ferry::EncodeJournalRecord(*again) != ferry::EncodeJournalRecord(*rec))
        std::abort();
      ++n;
    }
    if (parsed && n != parsed->Records.size()) std::abort();
  }

  ferry::MemoryFileSystem files;
  const std::map<std::string, std::vector<uint8_t>> before = {
      {"C:\\app\\a.txt", {1}},         {"C:\\app\\~ferry-1-1.tmp", {2}}, {"C:\\other\\b.txt", {3}},
      {"C:\\app\\data.rkp", {4, 4}},  {"C:\\app\\data.rkp.undo", {5}},  {"C:\\app\\x.vfs", {6}},
  };
  for (const auto& [path, content] : before) files.Put(path, content);
  files.Put(ferry::RunJournalPath(kFolder), std::vector<uint8_t>(bytes.begin(), bytes.end()));
  ferry::RecoverUnfinishedRun(files, nullptr, kFolder);

  for (const auto& [path, content] : before) {
    const std::vector<uint8_t>* now = files.Find(path);
    if (now && *now == content) continue;
    // Gone or changed: the journal must name it.
    if (!parsed || !Named(*parsed, path)) std::abort();
  }
  for (const std::string& path : files.Paths()) {
    if (before.count(path) || (parsed && Named(*parsed, path))) continue;
    if (path.rfind("C:\\app\\", 0) != 0) std::abort();  // nothing new outside the folder
  }
  return 0;
}

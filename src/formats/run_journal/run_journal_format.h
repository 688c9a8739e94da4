// The run journal: what a setup run is about to change, written before each
// change, so a run that is killed or fails can be undone.
//
// File layout (little-endian):
//   "FRJ1"       4 bytes
//   u32          process id of the run
//   u64          the process's creation time (with the id it names one process)
//   string       the install folder the journal belongs to
//   u32          CRC-32 of the bytes above
// then records, appended one by one:
//   u8           kind (JournalRecordKind)
//   u32          body length
//   body         the kind's fields, below
//   u32          CRC-32 of kind, length and body
// A string is a u32 byte count and that many bytes (system code page).
// Reading stops at the first record that is cut short or damaged: a crash
// while appending it means its change never began.
//
// Bodies:
//   kFileCreated    path                     a file the run is about to create
//   kFileSetAside   path, aside              an existing file moved aside (same folder)
//   kFileRenamed    from, to                 a file the run is about to move
//   kFolderCreated  path                     a folder the run is about to create
//   kFolderRemoved  path                     a folder to remove once the run is done
//   kRegistryValue  u8 root, key, name, u8 flags (1: value existed, 2: key
//                   existed, 4: it was a DWORD, its old value in decimal),
//                   old value
//   kArchiveUpdate  u8 archive kind, path    a product archive opened for an update
//   kCommitting     (empty)                  the run succeeded; set-aside files go
//   kUndone         u32 record index         a record that recovery has undone
//   kFilePlaced     path, scratch, aside     a new file written under a scratch name in
//                                            path's folder and moved over path; what was
//                                            there is moved aside first (aside empty:
//                                            nothing was there)
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace ferry {

class RandomAccessFile;

enum class JournalRecordKind : uint8_t {
  kFileCreated = 1,
  kFileSetAside = 2,
  kFileRenamed = 3,
  kFolderCreated = 4,
  kFolderRemoved = 5,
  kRegistryValue = 6,
  kArchiveUpdate = 7,
  kCommitting = 8,
  kUndone = 9,
  kFilePlaced = 10,
};

enum class JournalArchiveKind : uint8_t { kPackage = 1, kVfs = 2 };

struct JournalRecord {
  JournalRecordKind Kind = JournalRecordKind::kFileCreated;
  std::string Path;   // the file, folder, archive or registry key
  std::string Other;  // aside name, rename target, scratch name or registry value name
  std::string Aside;  // kFilePlaced: where what was there went ("" nothing was there)
  std::string Value;  // old registry value
  uint8_t Root = 0;   // registry root index
  bool Existed = false;     // the registry value was there
  bool KeyExisted = false;  // the registry key was there
  bool WasDword = false;    // the old value was a DWORD (Value: its decimal text)
  JournalArchiveKind Archive = JournalArchiveKind::kPackage;
  uint32_t Index = 0;  // kUndone
};

struct JournalHeader {
  uint32_t ProcessId = 0;
  uint64_t ProcessStart = 0;
  std::string InstallFolder;
};

struct RunJournalContents {
  JournalHeader Header;
  std::vector<JournalRecord> Records;
  bool Torn = false;  // bytes after the last whole record (a cut-short append)
};

std::vector<uint8_t> EncodeJournalHeader(const JournalHeader& header);
std::vector<uint8_t> EncodeJournalRecord(const JournalRecord& record);
// None when the header is missing or damaged: the file is no journal.
std::optional<RunJournalContents> ParseRunJournal(std::span<const uint8_t> bytes);

// The same, read from a journal file a record at a time, so that a run's
// records need not be held in memory. ReadJournalHeader: none when the
// header is missing or damaged; else `offset` is where the records begin.
// ReadJournalRecord: the record at `offset`, which then moves past it; none
// at the end of the file or at a record cut short or damaged (the journal
// ends there).
std::optional<JournalHeader> ReadJournalHeader(RandomAccessFile& file, uint64_t& offset);
std::optional<JournalRecord> ReadJournalRecord(RandomAccessFile& file, uint64_t& offset);

// Records in order from `offset` on, read `block` bytes at a time (at
// least a record).
class JournalReader {
 public:
  JournalReader(RandomAccessFile& file, uint64_t offset, size_t block = 64 * 1024)
      : file_(file), offset_(offset), block_size_(block) {}
  // The next record (`start`: where it begins); none at the end or at a
  // record cut short or damaged.
  std::optional<JournalRecord> Next(uint64_t& start);
  // Where the next record begins.
  uint64_t Offset() const { return offset_; }

 private:
  // The bytes [offset_, offset_ + n) as a span of the block, fewer at the end of the file.
  std::span<const uint8_t> Window(size_t n);

  RandomAccessFile& file_;
  uint64_t offset_;
  size_t block_size_;
  std::vector<uint8_t> block_;
  uint64_t block_at_ = 0;
};

// One line per record, for support ("ferryc journal").
std::string DescribeJournalRecord(const JournalRecord& record);

}  // namespace ferry

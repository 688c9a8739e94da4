// Rollback journal of an archive update. Before a byte of the archive is
// overwritten for the first time, the page that holds it (its bytes as they
// were) is appended to "<archive>.journal" and the journal is pushed to the
// disk; bytes past the original end need no copy, the original length is
// enough. The side hash table is saved whole before it is replaced. Once the
// update is flushed the journal is deleted; a journal found at open means an
// update was interrupted, and it is played back so the archive and its side
// file are exactly as they were before that update.
//
// Journal layout: "FVJ1", u32 page size, u64 original length, u32 0, u32 crc;
// then records, each ending with the crc of its bytes:
//   1, u64 offset, u32 length, old bytes       (archive range)
//   2, u8 existed, u32 length, old side file   (side hash table)
// A record cut short by a crash is ignored: its archive write never happened.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_set>

#include "base/random_access_file.h"

namespace ferry {

class FileSystem;

class VfsJournal {
 public:
  static constexpr uint32_t kPageSize = 4096;

  VfsJournal(FileSystem& fs, std::string archivePath);

  static std::string PathFor(const std::string& archivePath) { return archivePath + ".journal"; }
  // Plays back a journal left by an interrupted update and deletes it.
  // Returns true when there was one.
  static bool Recover(FileSystem& fs, const std::string& archivePath, RandomAccessFile& archive);

  // Call before writing [offset, offset + length) of the archive.
  void BeforeWrite(RandomAccessFile& archive, uint64_t offset, uint64_t length);
  // Call before the side file is deleted or rewritten.
  void BeforeSideFileChange(RandomAccessFile& archive, const std::string& sidePath);
  // The archive and side file are on disk: the journal goes.
  void Commit();
  // Drops the open journal file without deleting it (the update is abandoned).
  void Abandon();
  bool Active() const { return file_ != nullptr; }

 private:
  void Start(RandomAccessFile& archive);
  void Append(const std::vector<uint8_t>& record);

  FileSystem& fs_;
  std::string archive_path_;
  std::unique_ptr<RandomAccessFile> file_;
  uint64_t size_ = 0;
  uint64_t original_length_ = 0;
  std::unordered_set<uint64_t> pages_;
  bool side_saved_ = false;
};

}  // namespace ferry

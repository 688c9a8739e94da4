// The random-access file that every format works on: a real file on disk or
// a buffer in memory (tests, fuzzers, archives built in memory).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "base/system_path.h"

namespace ferry {

// A read-only view of part of a file that the system maps: its pages are the
// file's, read in as they are touched, not a copy in the process's memory.
// The bytes stay valid while the view lives and nobody truncates the file.
class FileView {
 public:
  virtual ~FileView() = default;
  virtual std::span<const uint8_t> Bytes() const = 0;
};

class RandomAccessFile {
 public:
  virtual ~RandomAccessFile() = default;

  virtual uint64_t Size() = 0;
  // Reads up to out.size() bytes at offset; returns how many were read
  // (fewer at the end of the file, 0 past it). Several threads may read at
  // once while none writes (archives are read by a few threads).
  virtual size_t ReadAt(uint64_t offset, std::span<uint8_t> out) = 0;
  // Writes all of data at offset, extending the file as needed.
  // Throws SetupError when the bytes cannot be written (full disk, read-only).
  virtual void WriteAt(uint64_t offset, std::span<const uint8_t> data) = 0;
  virtual void Truncate(uint64_t size) = 0;
  // Pushes written bytes to the disk (commit points of journals).
  virtual void Flush() = 0;

  // A view of `length` (> 0) bytes at `offset`; nullptr when they cannot be
  // mapped (past the file's end, or a file of no mappable kind), and the
  // caller reads them with ReadAt instead.
  virtual std::unique_ptr<FileView> View(uint64_t offset, size_t length);

  // Reads exactly n bytes at offset into a new buffer; shorter when the file ends.
  std::vector<uint8_t> ReadVector(uint64_t offset, size_t n);
};

class MemoryFile : public RandomAccessFile {
 public:
  MemoryFile() = default;
  explicit MemoryFile(std::vector<uint8_t> data) : data_(std::move(data)) {}

  uint64_t Size() override { return data_.size(); }
  size_t ReadAt(uint64_t offset, std::span<uint8_t> out) override;
  void WriteAt(uint64_t offset, std::span<const uint8_t> data) override;
  void Truncate(uint64_t size) override;
  void Flush() override {}
  // The buffer itself: valid until the file is written.
  std::unique_ptr<FileView> View(uint64_t offset, size_t length) override;

  const std::vector<uint8_t>& Data() const { return data_; }
  std::vector<uint8_t>& Data() { return data_; }

 private:
  std::vector<uint8_t> data_;
};

enum class FileMode {
  kRead,            // existing file, read-only, others may read and write it
  kReadWrite,       // existing file, read and write, others may read it
  kReadWriteShared,  // existing file, read and write, others may read and write it
  kReadWriteExclusive,  // existing file, read and write, nobody else may open it
  kCreate,          // created or truncated, read and write
  kCreateNew,       // created, read and write; fails when the name exists (a link too)
};

// The modes that make a file rather than open one.
constexpr bool IsCreateMode(FileMode mode) { return mode == FileMode::kCreate || mode == FileMode::kCreateNew; }

// Opens a file on disk; nullptr when it cannot be opened in that mode.
std::unique_ptr<RandomAccessFile> OpenDiskFile(const NativePath& path, FileMode mode);

// Whole-file helpers for tools and tests. ReadFileBytes throws SetupError.
std::vector<uint8_t> ReadFileBytes(const NativePath& path);
void WriteFileBytes(const NativePath& path, std::span<const uint8_t> data);

}  // namespace ferry

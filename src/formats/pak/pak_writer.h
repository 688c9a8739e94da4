// Writing a setup archive (the format is in pak_format.h): entries are added
// to the directory, their stored bytes appended in order, and the directory
// and trailer written last; until then a reader of the file sees no archive.
//
// Create starts a file of its own (created or truncated, DataStart 0);
// Append writes after the bytes already there (a host program: DataStart is
// the file's length). The forms over a file already open own it or borrow it
// (it must outlive the writer).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/random_access_file.h"
#include "formats/pak/pak_format.h"

namespace ferry {

class PakWriter {
 public:
  // Throw SetupError when the file cannot be opened (or, appending, is past
  // 4 GiB already).
  static PakWriter Create(const NativePath& fileName);
  static PakWriter Append(const NativePath& fileName);
  static PakWriter Create(std::unique_ptr<RandomAccessFile> file);
  static PakWriter Append(std::unique_ptr<RandomAccessFile> file);
  static PakWriter Create(RandomAccessFile& file);
  static PakWriter Append(RandomAccessFile& file);
  ~PakWriter();
  PakWriter(PakWriter&&) noexcept;
  PakWriter& operator=(PakWriter&&) noexcept;

  const PakTrailer& Trailer() const { return trailer_; }
  const std::vector<PakFile>& Files() const { return files_; }
  size_t EntryCount() const { return files_.size(); }

  // A new directory entry (offset, sizes and checksum 0); its index. Throws
  // SetupError past 65,535 entries or for a name longer than 65,535 bytes.
  // `sourceFile`: the file PackFile and StoreFile read (not stored).
  size_t AddEntry(const std::string& name, const std::string& sourceFile, uint16_t group);
  // The source file AddEntry was given; empty for a bad index.
  std::string_view SourceFile(size_t index) const;
  // How PackBuffer compresses: the stored bytes for the data, or none when the
  // codec fails. Unset: zlib at level 9. Called from the threads that call
  // PackBuffer. ZstdPack (pak_codec.h) gives zstd frames.
  using Compressor = std::function<std::optional<std::vector<uint8_t>>(std::span<const uint8_t> data)>;
  void SetCompressor(Compressor compressor) { compressor_ = std::move(compressor); }
  // The stored bytes for `data`, setting the entry's OrigSize, CompSize and
  // Checksum: the compressed bytes (level-9 zlib unless SetCompressor said
  // otherwise) when they are no longer than the data and
  // the data is below kLargeEntryThreshold, else the data itself (CompSize 0).
  // None for a bad index or empty data (the entry then keeps OrigSize 0).
  // Throws SetupError for data of 4 GiB or more.
  std::optional<std::vector<uint8_t>> PackBuffer(size_t index, std::span<const uint8_t> data);
  // The same for the entry's SourceFile read whole; a file of
  // kLargeEntryThreshold bytes or more is stored as read, with its CRC-32.
  // Throws SetupError when the file cannot be read.
  std::optional<std::vector<uint8_t>> PackFile(size_t index);
  // PackBuffer / PackFile, then append the stored bytes at the end of the file
  // (Offset := that end). False when there was nothing to store. Throws
  // SetupError when the file cannot be written or would pass 4 GiB.
  // StoreFile streams a source of kLargeEntryThreshold bytes or more instead
  // of reading it whole, taking its CRC-32 on the way.
  bool StoreBuffer(size_t index, std::span<const uint8_t> data);
  bool StoreFile(size_t index);
  // Appends `stored`, the bytes PackBuffer returned for this entry (whose
  // sizes and checksum it set), and sets Offset: StoreBuffer split in two, so
  // that a writer can pack several entries at once (PackBuffer calls on
  // different entries may run on different threads once every AddEntry is
  // done) and append them in order. False for a bad index or no bytes.
  bool StorePacked(size_t index, std::span<const uint8_t> stored);
  // The stored bytes of a delta entry (delta_format.h, made by MakeDelta)
  // that makes a file of `resultSize` bytes: Kind, sizes and Checksum set,
  // `stored` handed back for StorePacked. Throws SetupError past 4 GiB.
  std::vector<uint8_t> PackDelta(size_t index, std::vector<uint8_t> stored, uint64_t resultSize);
  // Marks entry `index` (kEntryWholeFallback: the whole file after its delta).
  void SetKind(size_t index, uint8_t kind);
  // Appends the directory and the trailer (Version 2 when an entry's Kind is
  // not kEntryWhole).
  void WriteDirectory();
  // Closes the file (after WriteDirectory). Later writes throw SetupError.
  void Close();

 private:
  PakWriter(std::unique_ptr<RandomAccessFile> owned, RandomAccessFile* file, bool append);
  static PakWriter Open(const NativePath& fileName, bool append);
  uint32_t AppendStored(std::span<const uint8_t> bytes);

  std::unique_ptr<RandomAccessFile> owned_;
  RandomAccessFile* file_ = nullptr;
  PakTrailer trailer_;
  std::vector<PakFile> files_;
  // By entry, kept apart from the directory: a reader's directory holds none.
  std::vector<std::string> sources_;
  Compressor compressor_;
};

}  // namespace ferry

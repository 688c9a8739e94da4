#include "formats/pak/pak_writer.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <limits>

#include "base/byte_writer.h"
#include "base/setup_error.h"
#include "base/system_path.h"
#include "formats/pak/crc32.h"

namespace ferry {

namespace {

constexpr uint64_t kMaxArchiveOffset = std::numeric_limits<uint32_t>::max();

}  // namespace

PakWriter::PakWriter(std::unique_ptr<RandomAccessFile> owned, RandomAccessFile* file, bool append)
    : owned_(std::move(owned)), file_(file) {
  if (!file_) throw SetupError("Cannot open the archive");
  if (!append) {
    file_->Truncate(0);
    return;
  }
  const uint64_t size = file_->Size();
  if (size > kMaxArchiveOffset) throw SetupError("The host file is too large for an archive");
  trailer_.DataStart = static_cast<uint32_t>(size);
}

PakWriter::~PakWriter() = default;
PakWriter::PakWriter(PakWriter&&) noexcept = default;
PakWriter& PakWriter::operator=(PakWriter&&) noexcept = default;

PakWriter PakWriter::Open(const NativePath& fileName, bool append) {
  std::unique_ptr<RandomAccessFile> file =
      OpenDiskFile(fileName, append ? FileMode::kReadWriteExclusive : FileMode::kCreate);
  if (!file) throw SetupError("Cannot open the archive " + PathText(fileName));
  RandomAccessFile* raw = file.get();
  return PakWriter(std::move(file), raw, append);
}

PakWriter PakWriter::Create(const NativePath& fileName) { return Open(fileName, false); }
PakWriter PakWriter::Append(const NativePath& fileName) { return Open(fileName, true); }

PakWriter PakWriter::Create(std::unique_ptr<RandomAccessFile> file) {
  RandomAccessFile* raw = file.get();
  return PakWriter(std::move(file), raw, false);
}

PakWriter PakWriter::Append(std::unique_ptr<RandomAccessFile> file) {
  RandomAccessFile* raw = file.get();
  return PakWriter(std::move(file), raw, true);
}

PakWriter PakWriter::Create(RandomAccessFile& file) { return PakWriter(nullptr, &file, false); }
PakWriter PakWriter::Append(RandomAccessFile& file) { return PakWriter(nullptr, &file, true); }

size_t PakWriter::AddEntry(const std::string& name, const std::string& sourceFile, uint16_t group) {
  if (files_.size() >= 0xFFFF) throw SetupError("An archive holds at most 65,535 entries");
  if (name.size() > 0xFFFF) throw SetupError("Archive entry name too long: " + name.substr(0, 64) + "...");
  PakFile e;
  e.Name = name;
  e.Group = group;
  files_.push_back(std::move(e));
  sources_.push_back(sourceFile);
  return files_.size() - 1;
}

std::string_view PakWriter::SourceFile(size_t index) const {
  return index < sources_.size() ? std::string_view(sources_[index]) : std::string_view();
}

std::optional<std::vector<uint8_t>> PakWriter::PackBuffer(size_t index, std::span<const uint8_t> data) {
  if (index >= files_.size()) return std::nullopt;
  if (data.size() > std::numeric_limits<uint32_t>::max())
    throw SetupError("Archive entry too large: " + files_[index].Name);
  PakFile& e = files_[index];
  e.OrigSize = static_cast<uint32_t>(data.size());
  if (data.empty()) return std::nullopt;

  std::vector<uint8_t> packed;
  if (data.size() < kLargeEntryThreshold) {
    if (compressor_) {
      std::optional<std::vector<uint8_t>> made = compressor_(data);
      if (!made) throw SetupError("Cannot compress " + e.Name);
      packed = std::move(*made);
    } else {
      uLongf len = compressBound(static_cast<uLong>(data.size()));
      packed.resize(len);
      if (compress2(packed.data(), &len, data.data(), static_cast<uLong>(data.size()), 9) != Z_OK)
        throw SetupError("Cannot compress " + e.Name);
      packed.resize(len);
    }
  }
  if (data.size() >= kLargeEntryThreshold || packed.size() > data.size()) {
    e.CompSize = 0;
    e.Checksum = Crc32(data);
    return std::vector<uint8_t>(data.begin(), data.end());
  }
  e.CompSize = static_cast<uint32_t>(packed.size());
  e.Checksum = Crc32(packed);
  return packed;
}

std::optional<std::vector<uint8_t>> PakWriter::PackFile(size_t index) {
  if (index >= files_.size()) return std::nullopt;
  std::vector<uint8_t> data = ReadFileBytes(SystemPath(sources_[index]));
  if (data.size() < kLargeEntryThreshold) return PackBuffer(index, data);
  if (data.size() > std::numeric_limits<uint32_t>::max())
    throw SetupError("Archive entry too large: " + files_[index].Name);
  PakFile& e = files_[index];
  e.OrigSize = static_cast<uint32_t>(data.size());
  e.CompSize = 0;
  e.Checksum = Crc32(data);
  return data;
}

uint32_t PakWriter::AppendStored(std::span<const uint8_t> bytes) {
  if (!file_) throw SetupError("The archive is closed");
  uint64_t end = file_->Size();
  if (end > kMaxArchiveOffset || bytes.size() > kMaxArchiveOffset - end)
    throw SetupError("The archive would pass 4 GiB");
  file_->WriteAt(end, bytes);
  return static_cast<uint32_t>(end);
}

bool PakWriter::StoreBuffer(size_t index, std::span<const uint8_t> data) {
  auto stored = PackBuffer(index, data);
  if (!stored || stored->empty()) return false;
  files_[index].Offset = AppendStored(*stored);
  return true;
}

bool PakWriter::StorePacked(size_t index, std::span<const uint8_t> stored) {
  if (index >= files_.size() || stored.empty()) return false;
  files_[index].Offset = AppendStored(stored);
  return true;
}

bool PakWriter::StoreFile(size_t index) {
  if (index >= files_.size()) return false;
  PakFile& e = files_[index];
  auto in = OpenDiskFile(SystemPath(sources_[index]), FileMode::kRead);
  const uint64_t size = in ? in->Size() : 0;
  if (!in || size < kLargeEntryThreshold) {
    in.reset();
    auto stored = PackFile(index);  // throws for a missing file
    if (!stored || stored->empty()) return false;
    e.Offset = AppendStored(*stored);
    return true;
  }
  // Large files are stored as they are: stream them instead of holding them.
  if (!file_) throw SetupError("The archive is closed");
  uint64_t end = file_->Size();
  if (end > kMaxArchiveOffset || size > kMaxArchiveOffset - end)
    throw SetupError("The archive would pass 4 GiB");
  std::vector<uint8_t> chunk(kCopyChunkSize);
  uint32_t crc = 0;
  for (uint64_t done = 0; done < size;) {
    size_t want = static_cast<size_t>(std::min<uint64_t>(chunk.size(), size - done));
    if (in->ReadAt(done, std::span(chunk.data(), want)) != want) throw SetupError("Cannot read " + sources_[index]);
    std::span<const uint8_t> part(chunk.data(), want);
    file_->WriteAt(end + done, part);
    crc = Crc32Update(crc, part);
    done += want;
  }
  e.Checksum = crc;
  e.OrigSize = static_cast<uint32_t>(size);
  e.CompSize = 0;
  e.Offset = static_cast<uint32_t>(end);
  return true;
}

std::vector<uint8_t> PakWriter::PackDelta(size_t index, std::vector<uint8_t> stored, uint64_t resultSize) {
  if (index >= files_.size()) throw SetupError("no such archive entry");
  PakFile& e = files_[index];
  if (stored.size() > std::numeric_limits<uint32_t>::max() || resultSize > std::numeric_limits<uint32_t>::max())
    throw SetupError("Archive entry too large: " + e.Name);
  e.Kind = kEntryDelta;
  e.OrigSize = static_cast<uint32_t>(resultSize);
  e.CompSize = static_cast<uint32_t>(stored.size());
  e.Checksum = Crc32(stored);
  return stored;
}

void PakWriter::SetKind(size_t index, uint8_t kind) {
  if (index < files_.size()) files_[index].Kind = kind;
}

void PakWriter::WriteDirectory() {
  if (!file_) throw SetupError("The archive is closed");
  uint64_t end = file_->Size();
  ByteWriter w;
  // Without deltas the directory is the first version's, byte for byte.
  const bool kinds = std::any_of(files_.begin(), files_.end(), [](const PakFile& e) { return e.Kind != kEntryWhole; });
  for (const PakFile& e : files_) {
    w.LenString(e.Name);
    w.U32(e.Checksum);
    w.U32(e.Offset);
    w.U32(e.CompSize);
    w.U32(e.OrigSize);
    w.U16(e.Group);
    if (kinds) w.U8(e.Kind);
  }
  if (end > kMaxArchiveOffset) throw SetupError("The archive would pass 4 GiB");
  std::memcpy(trailer_.Magic, kPakMagic, 4);
  trailer_.Version = kinds ? 2 : 1;
  trailer_.EntryCount = static_cast<uint16_t>(files_.size());
  trailer_.DirectoryOffset = static_cast<uint32_t>(end);
  w.String(std::string_view(kPakMagic, 4));
  w.U16(trailer_.Version);
  w.U16(trailer_.EntryCount);
  w.U32(trailer_.DataStart);
  w.U32(trailer_.DirectoryOffset);
  file_->WriteAt(end, w.Data());
}

void PakWriter::Close() {
  owned_.reset();
  file_ = nullptr;
}

}  // namespace ferry

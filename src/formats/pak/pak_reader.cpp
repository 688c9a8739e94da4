#include "formats/pak/pak_reader.h"

#include <algorithm>
#include <cstring>

#include "formats/pak/entry_reader.h"
#include "base/system_path.h"
#include "formats/pak/pe_image.h"
#include "base/byte_reader.h"
#include "base/text.h"

namespace ferry {

namespace {

constexpr size_t kDirEntryFixedSize = 20;  // u16 name length + 4 x u32 + u16 group
// A sound directory is EntryCount x (20 + name); names of a kilobyte on
// average already stay far below this. More is damage, not a directory.
constexpr uint64_t kMaxDirectoryBytes = 64ull << 20;

// Where the trailer must end: the end of the file, or in a signed program the
// start of its certificate table less the signer's zero padding. None when
// the certificate table is damaged.
std::optional<uint64_t> FindArchiveEnd(RandomAccessFile& file) {
  const uint64_t size = file.Size();
  std::optional<uint64_t> end = PeAppendedDataEnd(file);
  if (!end || *end == size || *end < kPakTrailerSize) return end;
  const uint64_t from = *end - std::min<uint64_t>(*end, kPakTrailerSize + kPeTableAlignment - 1);
  std::vector<uint8_t> tail = file.ReadVector(from, static_cast<size_t>(*end - from));
  // The fewest padding bytes that leave a trailer magic before them.
  for (size_t pad = 0; pad < kPeTableAlignment && pad + kPakTrailerSize <= tail.size(); ++pad) {
    if (pad > 0 && tail[tail.size() - pad] != 0) break;
    if (std::memcmp(&tail[tail.size() - pad - kPakTrailerSize], kPakMagic, 4) == 0) return *end - pad;
  }
  return end;
}

// The trailer ending at `archiveEnd`; its magic unchecked. None on a short read.
std::optional<PakTrailer> TrailerEndingAt(RandomAccessFile& file, uint64_t archiveEnd) {
  if (archiveEnd < kPakTrailerSize) return std::nullopt;
  uint8_t raw[kPakTrailerSize];
  if (file.ReadAt(archiveEnd - kPakTrailerSize, raw) != kPakTrailerSize) return std::nullopt;
  ByteReader t(raw, sizeof raw);
  PakTrailer trailer;
  std::memcpy(trailer.Magic, t.Bytes(4).data(), 4);
  trailer.Version = t.U16();
  trailer.EntryCount = t.U16();
  trailer.DataStart = t.U32();
  trailer.DirectoryOffset = t.U32();
  return trailer;
}

}  // namespace

std::optional<PakTrailer> ReadPakTrailer(RandomAccessFile& file) {
  std::optional<uint64_t> archiveEnd = FindArchiveEnd(file);
  std::optional<PakTrailer> trailer = archiveEnd ? TrailerEndingAt(file, *archiveEnd) : std::nullopt;
  if (!trailer || std::memcmp(trailer->Magic, kPakMagic, 4) != 0) return std::nullopt;
  return trailer;
}

PakReader::PakReader(const NativePath& fileName) : PakReader(OpenDiskFile(fileName, FileMode::kRead)) {}

PakReader::PakReader(std::unique_ptr<RandomAccessFile> file) : owned_(std::move(file)), file_(owned_.get()) {
  reader_ = std::make_unique<PakEntryReader>(kWorkerChunkSize);
  ReadDirectory();
}

PakReader::PakReader(RandomAccessFile& file) : file_(&file) {
  reader_ = std::make_unique<PakEntryReader>(kWorkerChunkSize);
  ReadDirectory();
}

PakReader::~PakReader() = default;

bool PakReader::HasMagic() const { return std::memcmp(trailer_.Magic, kPakMagic, 4) == 0; }

const PakFile* PakReader::Entry(size_t index) const {
  return index < files_.size() ? &files_[index] : nullptr;
}

// ---- Directory --------------------------------------------------------------

void PakReader::ReadDirectory() {
  trailer_ = PakTrailer{};
  files_.clear();
  cursor_ = 0;
  valid_ = false;
  end_ = 0;
  if (!file_) return;

  std::optional<uint64_t> archiveEnd = FindArchiveEnd(*file_);
  if (!archiveEnd) return;
  const uint64_t size = *archiveEnd;
  std::optional<PakTrailer> trailer = TrailerEndingAt(*file_, size);
  if (!trailer) return;
  trailer_ = *trailer;
  if (!HasMagic()) return;

  // The directory lies between DirectoryOffset and the trailer; every entry
  // takes at least 20 bytes, so the count is checked before anything is sized.
  uint64_t dirEnd = size - kPakTrailerSize;
  if (trailer_.DirectoryOffset > dirEnd) return;
  uint64_t dirBytes = dirEnd - trailer_.DirectoryOffset;
  if (trailer_.EntryCount > dirBytes / kDirEntryFixedSize) return;
  uint64_t wanted = std::min<uint64_t>(dirBytes, kMaxDirectoryBytes);
  std::vector<uint8_t> dir = file_->ReadVector(trailer_.DirectoryOffset, static_cast<size_t>(wanted));

  ByteReader r(dir);
  std::vector<PakFile> files(trailer_.EntryCount);
  for (PakFile& e : files) {
    e.Name = r.LenString();
    e.Checksum = r.U32();
    e.Offset = r.U32();
    e.CompSize = r.U32();
    e.OrigSize = r.U32();
    e.Group = r.U16();
    if (trailer_.Version == 2) e.Kind = r.U8();
    if (r.Failed()) return;
  }
  files_ = std::move(files);
  end_ = size;
  valid_ = true;
}

// ---- Loading ----------------------------------------------------------------

std::optional<std::vector<uint8_t>> PakReader::LoadEntry(size_t index) {
  std::vector<uint8_t> data;
  // Room for what the entry will likely unpack to; a lying OrigSize costs no
  // memory, as the buffer only grows as bytes arrive.
  if (const PakFile* e = Entry(index); e && e->Offset <= end_) {
    const uint64_t stored = e->CompSize != 0 ? e->CompSize : e->OrigSize;
    if (stored <= end_ - e->Offset)
      data.reserve(static_cast<size_t>(std::min<uint64_t>(e->OrigSize, std::max<uint64_t>(stored * 4, 1u << 20))));
  }
  if (!StreamEntry(index, [&data](std::span<const uint8_t> bytes) { data.insert(data.end(), bytes.begin(), bytes.end()); }))
    return std::nullopt;
  return data;
}

// The entry at `index` when it can be read; else none, LastLoadError saying why.
const PakFile* PakReader::ReadableEntry(size_t index) {
  last_ = EntryVerdict{};
  const PakFile* e = Entry(index);
  if (!e) last_.Error = "no such entry";
  else if (!file_) last_.Error = "the archive is closed";
  return e && file_ ? e : nullptr;
}

bool PakReader::StreamEntry(size_t index, const ByteSink& sink) {
  const PakFile* e = ReadableEntry(index);
  return e && Record(reader_->Stream(*file_, end_, *e, sink));
}

bool PakReader::Record(EntryVerdict check) {
  last_ = std::move(check);
  return last_.Sound;
}

std::optional<std::vector<uint8_t>> PakReader::LoadByName(std::string_view name, uint16_t group,
                                                     uint32_t* origSize) {
  if (origSize) *origSize = 0;
  std::string wanted = CodePageLower(name);
  for (size_t i = 0; i < files_.size(); ++i) {
    const PakFile& e = files_[i];
    if (e.Group != group || e.Name.size() != wanted.size() || CodePageLower(e.Name) != wanted) continue;
    if (origSize) *origSize = e.OrigSize;
    return LoadEntry(i);
  }
  return std::nullopt;
}

// ---- Enumeration ------------------------------------------------------------

std::optional<size_t> PakReader::ScanGroup(uint16_t group) {
  for (size_t i = cursor_; i < files_.size(); ++i) {
    if (files_[i].Group == group) {
      cursor_ = i + 1;
      return i;
    }
  }
  return std::nullopt;
}

PakFound PakReader::FindFirst(uint16_t group, bool wantData) {
  cursor_ = 0;
  return FindNext(group, wantData);
}

PakFound PakReader::FindNext(uint16_t group, bool wantData) {
  PakFound found;
  auto index = ScanGroup(group);
  if (!index) return found;
  const PakFile& e = files_[*index];
  if (wantData) found.Data = LoadEntry(*index);
  found.Size = e.OrigSize;
  found.Name = e.Name;
  return found;
}

std::optional<size_t> PakReader::FindFirstIndex(uint16_t group) {
  cursor_ = 0;
  return ScanGroup(group);
}

std::optional<size_t> PakReader::FindNextIndex(uint16_t group) { return ScanGroup(group); }

void PakReader::ForEachInGroup(uint16_t group, const std::function<void(size_t)>& callback) {
  if (!callback) return;
  for (auto i = FindFirstIndex(group); i; i = FindNextIndex(group)) callback(*i);
}

bool PakReader::VerifyEntry(size_t index) {
  const PakFile* e = ReadableEntry(index);
  return e && Record(reader_->Verify(*file_, end_, *e));
}

size_t PakReader::CountPayloadEntries() const {
  return static_cast<size_t>(std::count_if(files_.begin(), files_.end(), [](const PakFile& e) { return e.Group != 0; }));
}

size_t PakReader::CountGroup(uint16_t group) const {
  return static_cast<size_t>(
      std::count_if(files_.begin(), files_.end(), [group](const PakFile& e) { return e.Group == group; }));
}

void PakReader::Close() {
  owned_.reset();
  file_ = nullptr;
}

}  // namespace ferry

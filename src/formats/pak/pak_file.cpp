#include "formats/pak/pak_file.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <limits>

#include "formats/pak/crc32.h"
#include "formats/pak/entry_reader.h"
#include "formats/pak/pak_codec.h"
#include "base/system_path.h"
#include "formats/pak/pe_image.h"
#include "base/byte_reader.h"
#include "base/byte_writer.h"
#include "base/dialogs.h"
#include "base/setup_error.h"
#include "base/text.h"

namespace ferry {

namespace {

constexpr size_t kDirEntryFixedSize = 20;  // u16 name length + 4 x u32 + u16 group
// A sound directory is EntryCount x (20 + name); names of a kilobyte on
// average already stay far below this. More is damage, not a directory.
constexpr uint64_t kMaxDirectoryBytes = 64ull << 20;
constexpr uint64_t kMaxArchiveOffset = std::numeric_limits<uint32_t>::max();

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

}  // namespace

TPak::TPak(const NativePath& fileName, bool createNew, bool append, Dialogs* dialogs)
    : dialogs_(dialogs) {
  PakMode mode = append ? PakMode::kAppendWriter : createNew ? PakMode::kNewWriter : PakMode::kReader;
  FileMode fileMode = mode == PakMode::kReader         ? FileMode::kRead
                      : mode == PakMode::kAppendWriter ? FileMode::kReadWriteExclusive
                                                        : FileMode::kCreate;
  owned_ = OpenDiskFile(fileName, fileMode);
  if (!owned_ && mode != PakMode::kReader) throw SetupError("Cannot open the archive " + PathText(fileName));
  file_ = owned_.get();
  Open(mode);
}

TPak::TPak(std::unique_ptr<RandomAccessFile> file, PakMode mode, Dialogs* dialogs)
    : owned_(std::move(file)), file_(owned_.get()), dialogs_(dialogs) {
  Open(mode);
}

TPak::TPak(RandomAccessFile& file, PakMode mode, Dialogs* dialogs) : file_(&file), dialogs_(dialogs) {
  Open(mode);
}

TPak::~TPak() = default;

void TPak::Open(PakMode mode) {
  mode_ = mode;
  reader_ = std::make_unique<PakEntryReader>(kWorkerChunkSize);
  switch (mode) {
    case PakMode::kReader:
      ReadDirectory();
      break;
    case PakMode::kAppendWriter: {
      uint64_t size = file_ ? file_->Size() : 0;
      if (size > kMaxArchiveOffset) throw SetupError("The host file is too large for an archive");
      trailer_.DataStart = static_cast<uint32_t>(size);
      break;
    }
    case PakMode::kNewWriter:
      if (file_) file_->Truncate(0);
      trailer_.DataStart = 0;
      break;
  }
}

bool TPak::HasMagic() const { return std::memcmp(trailer_.Magic, kPakMagic, 4) == 0; }

const TPakFile* TPak::Entry(size_t index) const {
  return index < files_.size() ? &files_[index] : nullptr;
}

void TPak::Fail(std::string why) { last_error_ = std::move(why); }

// ---- Directory --------------------------------------------------------------

void TPak::ReadDirectory() {
  trailer_ = TPakTrailer{};
  files_.clear();
  cursor_ = 0;
  valid_ = false;
  end_ = 0;
  if (!file_) return;

  std::optional<uint64_t> archiveEnd = FindArchiveEnd(*file_);
  if (!archiveEnd) return;
  const uint64_t size = *archiveEnd;
  if (size < kPakTrailerSize) return;
  uint8_t raw[kPakTrailerSize];
  if (file_->ReadAt(size - kPakTrailerSize, raw) != kPakTrailerSize) return;
  ByteReader t(raw, sizeof raw);
  std::memcpy(trailer_.Magic, t.Bytes(4).data(), 4);
  trailer_.Version = t.U16();
  trailer_.EntryCount = t.U16();
  trailer_.DataStart = t.U32();
  trailer_.DirectoryOffset = t.U32();
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
  std::vector<TPakFile> files(trailer_.EntryCount);
  for (TPakFile& e : files) {
    e.Name = r.LenString();
    e.Checksum = r.U32();
    e.Offset = r.U32();
    e.CompSize = r.U32();
    e.OrigSize = r.U32();
    e.Group = r.U16();
    if (r.Failed()) return;
  }
  files_ = std::move(files);
  end_ = size;
  valid_ = true;
}

// ---- Loading ----------------------------------------------------------------

std::optional<std::vector<uint8_t>> TPak::LoadEntry(size_t index) {
  std::vector<uint8_t> data;
  // Room for what the entry will likely unpack to; a lying OrigSize costs no
  // memory, as the buffer only grows as bytes arrive.
  if (const TPakFile* e = Entry(index); e && e->Offset <= end_) {
    const uint64_t stored = e->CompSize != 0 ? e->CompSize : e->OrigSize;
    if (stored <= end_ - e->Offset)
      data.reserve(static_cast<size_t>(std::min<uint64_t>(e->OrigSize, std::max<uint64_t>(stored * 4, 1u << 20))));
  }
  if (!StreamEntry(index, [&data](std::span<const uint8_t> bytes) { data.insert(data.end(), bytes.begin(), bytes.end()); }))
    return std::nullopt;
  return data;
}

// The entry at `index` when it can be read; else none, LastLoadError saying why.
const TPakFile* TPak::ReadableEntry(size_t index) {
  last_error_.clear();
  const TPakFile* e = Entry(index);
  if (!e) Fail("no such entry");
  else if (!file_) Fail("the archive is closed");
  return e && file_ ? e : nullptr;
}

bool TPak::StreamEntry(size_t index, const ByteSink& sink) {
  const TPakFile* e = ReadableEntry(index);
  return e && Record(*e, reader_->Stream(*file_, end_, *e, sink));
}

bool TPak::Record(const TPakFile& e, const EntryVerdict& check) {
  last_error_ = check.Error;
  // Output beyond OrigSize was only counted, so the message names the real length.
  if (check.WrongLength && dialogs_) {
    std::string text = e.Name + "\r\r" + "Error: DecompSize - " + std::to_string(*check.WrongLength) +
                       " OrigSize - " + std::to_string(e.OrigSize);
    dialogs_->Show(text, "Error", DialogButtons::kOk, DialogIcon::kNone);
  }
  return check.Sound;
}

std::optional<std::vector<uint8_t>> TPak::LoadByName(std::string_view name, uint16_t group,
                                                     uint32_t* origSize) {
  if (origSize) *origSize = 0;
  std::string wanted = CodePageLower(name);
  for (size_t i = 0; i < files_.size(); ++i) {
    const TPakFile& e = files_[i];
    if (e.Group != group || e.Name.size() != wanted.size() || CodePageLower(e.Name) != wanted) continue;
    if (origSize) *origSize = e.OrigSize;
    return LoadEntry(i);
  }
  return std::nullopt;
}

// ---- Enumeration ------------------------------------------------------------

std::optional<size_t> TPak::ScanGroup(uint16_t group) {
  for (size_t i = cursor_; i < files_.size(); ++i) {
    if (files_[i].Group == group) {
      cursor_ = i + 1;
      return i;
    }
  }
  return std::nullopt;
}

PakFound TPak::FindFirst(uint16_t group, bool wantData) {
  cursor_ = 0;
  return FindNext(group, wantData);
}

PakFound TPak::FindNext(uint16_t group, bool wantData) {
  PakFound found;
  auto index = ScanGroup(group);
  if (!index) return found;
  const TPakFile& e = files_[*index];
  if (wantData) found.Data = LoadEntry(*index);
  found.Size = e.OrigSize;
  found.Name = e.Name;
  return found;
}

std::optional<size_t> TPak::FindFirstIndex(uint16_t group) {
  cursor_ = 0;
  return ScanGroup(group);
}

std::optional<size_t> TPak::FindNextIndex(uint16_t group) { return ScanGroup(group); }

void TPak::ForEachInGroup(uint16_t group, const std::function<void(size_t)>& callback) {
  if (!callback) return;
  for (auto i = FindFirstIndex(group); i; i = FindNextIndex(group)) callback(*i);
}

bool TPak::VerifyEntry(size_t index) {
  const TPakFile* e = ReadableEntry(index);
  return e && Record(*e, reader_->Verify(*file_, end_, *e));
}

size_t TPak::CountPayloadEntries() const {
  return static_cast<size_t>(std::count_if(files_.begin(), files_.end(), [](const TPakFile& e) { return e.Group != 0; }));
}

size_t TPak::CountGroup(uint16_t group) const {
  return static_cast<size_t>(
      std::count_if(files_.begin(), files_.end(), [group](const TPakFile& e) { return e.Group == group; }));
}

void TPak::Close() {
  owned_.reset();
  file_ = nullptr;
}

// ---- Writer -----------------------------------------------------------------

size_t TPak::AddEntry(const std::string& name, const std::string& sourceFile, uint16_t group) {
  if (files_.size() >= 0xFFFF) throw SetupError("An archive holds at most 65,535 entries");
  if (name.size() > 0xFFFF) throw SetupError("Archive entry name too long: " + name.substr(0, 64) + "...");
  TPakFile e;
  e.Name = name;
  e.SourceFile = sourceFile;
  e.Group = group;
  files_.push_back(std::move(e));
  return files_.size() - 1;
}

std::optional<std::vector<uint8_t>> TPak::PackBuffer(size_t index, std::span<const uint8_t> data) {
  if (index >= files_.size()) return std::nullopt;
  if (data.size() > std::numeric_limits<uint32_t>::max())
    throw SetupError("Archive entry too large: " + files_[index].Name);
  TPakFile& e = files_[index];
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

std::optional<std::vector<uint8_t>> TPak::PackFile(size_t index) {
  if (index >= files_.size()) return std::nullopt;
  std::vector<uint8_t> data = ReadFileBytes(SystemPath(files_[index].SourceFile));
  if (data.size() < kLargeEntryThreshold) return PackBuffer(index, data);
  if (data.size() > std::numeric_limits<uint32_t>::max())
    throw SetupError("Archive entry too large: " + files_[index].Name);
  TPakFile& e = files_[index];
  e.OrigSize = static_cast<uint32_t>(data.size());
  e.CompSize = 0;
  e.Checksum = Crc32(data);
  return data;
}

uint32_t TPak::AppendStored(std::span<const uint8_t> bytes) {
  if (!file_) throw SetupError("The archive is closed");
  uint64_t end = file_->Size();
  if (end > kMaxArchiveOffset || bytes.size() > kMaxArchiveOffset - end)
    throw SetupError("The archive would pass 4 GiB");
  file_->WriteAt(end, bytes);
  return static_cast<uint32_t>(end);
}

bool TPak::StoreBuffer(size_t index, std::span<const uint8_t> data) {
  auto stored = PackBuffer(index, data);
  if (!stored || stored->empty()) return false;
  files_[index].Offset = AppendStored(*stored);
  return true;
}

bool TPak::StorePacked(size_t index, std::span<const uint8_t> stored) {
  if (index >= files_.size() || stored.empty()) return false;
  files_[index].Offset = AppendStored(stored);
  return true;
}

bool TPak::StoreFile(size_t index) {
  if (index >= files_.size()) return false;
  TPakFile& e = files_[index];
  auto in = OpenDiskFile(SystemPath(e.SourceFile), FileMode::kRead);
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
    if (in->ReadAt(done, std::span(chunk.data(), want)) != want) throw SetupError("Cannot read " + e.SourceFile);
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

void TPak::WriteDirectory() {
  if (!file_) throw SetupError("The archive is closed");
  uint64_t end = file_->Size();
  ByteWriter w;
  for (const TPakFile& e : files_) {
    w.LenString(e.Name);
    w.U32(e.Checksum);
    w.U32(e.Offset);
    w.U32(e.CompSize);
    w.U32(e.OrigSize);
    w.U16(e.Group);
  }
  if (end > kMaxArchiveOffset) throw SetupError("The archive would pass 4 GiB");
  std::memcpy(trailer_.Magic, kPakMagic, 4);
  trailer_.Version = 1;
  trailer_.EntryCount = static_cast<uint16_t>(files_.size());
  trailer_.DirectoryOffset = static_cast<uint32_t>(end);
  w.String(std::string_view(kPakMagic, 4));
  w.U16(trailer_.Version);
  w.U16(trailer_.EntryCount);
  w.U32(trailer_.DataStart);
  w.U32(trailer_.DirectoryOffset);
  file_->WriteAt(end, w.Data());
  end_ = end + w.Data().size();
  valid_ = true;
}

}  // namespace ferry

#include "setup_reading.h"

#include "script_compiler.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <system_error>

#include "formats/pak/delta_codec.h"
#include "formats/pak/pak_codec.h"
#include "formats/pak/pe_image.h"
#include "base/setup_error.h"
#include "base/text.h"
#include "engine/command_list.h"

namespace fs = std::filesystem;

namespace ferry::tool {

namespace {

constexpr size_t kChunk = 4u << 20;

// The stored bytes of an entry lie between DataStart and the directory.
std::string StoredRangeProblem(OpenedSetup& s, const PakFile& e) {
  uint64_t stored = e.CompSize != 0 ? e.CompSize : e.OrigSize;
  const PakTrailer& t = s.Pak().Trailer();
  uint64_t end = static_cast<uint64_t>(e.Offset) + stored;
  if (e.Offset < t.DataStart || end > t.DirectoryOffset)
    return "stored bytes " + std::to_string(e.Offset) + ".." + std::to_string(end) +
           " lie outside the data area " + std::to_string(t.DataStart) + ".." + std::to_string(t.DirectoryOffset);
  return {};
}

bool IsLargeStored(const PakFile& e) { return e.OrigSize >= kLargeEntryThreshold && e.CompSize == 0; }

// Streams the stored bytes of a large entry to `sink`; the CRC-32 of what was read.
template <typename Sink>
uint32_t StreamStored(OpenedSetup& s, const PakFile& e, Sink sink) {
  std::vector<uint8_t> chunk(kChunk);
  uLong crc = crc32(0, nullptr, 0);
  for (uint64_t done = 0; done < e.OrigSize;) {
    size_t want = static_cast<size_t>(std::min<uint64_t>(chunk.size(), e.OrigSize - done));
    size_t got = s.File().ReadAt(e.Offset + done, std::span(chunk.data(), want));
    if (got != want) throw SetupError("the file ends inside the entry");
    crc = crc32(crc, chunk.data(), static_cast<uInt>(want));
    sink(std::span<const uint8_t>(chunk.data(), want), done);
    done += want;
  }
  return static_cast<uint32_t>(crc);
}

}  // namespace

OpenedSetup::OpenedSetup(const fs::path& path) : path_(path) {
  std::error_code ec;
  if (fs::is_directory(path, ec)) throw SetupError("'" + path.string() + "' is a folder");
  owned_ = OpenDiskFile(path, FileMode::kRead);
  if (!owned_) throw SetupError("cannot open '" + path.string() + "'");
  file_ = owned_.get();
  size_ = file_->Size();
  pak_ = std::make_unique<PakReader>(*file_);
}

OpenedSetup::OpenedSetup(std::unique_ptr<RandomAccessFile> file, fs::path name)
    : path_(std::move(name)), owned_(std::move(file)) {
  file_ = owned_.get();
  size_ = file_->Size();
  pak_ = std::make_unique<PakReader>(*file_);
}

std::string OpenedSetup::ArchiveProblem() const {
  if (size_ < kPakTrailerSize) return "the file is too short to carry a setup archive";
  if (!PeAppendedDataEnd(*file_))
    return "the signature's certificate table is damaged (it does not end the file or its lengths do not add up)";
  if (!pak_->HasMagic()) return "no setup archive: the file does not end with an \"RKPF\" trailer";
  if (!pak_->IsValid()) return "the archive directory is damaged (it does not fit between its offset and the trailer)";
  const PakTrailer& t = pak_->Trailer();
  if (t.DataStart > t.DirectoryOffset) return "the trailer's data start lies after its directory";
  return {};
}

std::optional<SetupInfoFile> OpenedSetup::SetupInfo() {
  auto data = pak_->LoadByName("SetupInfo", 0);
  if (!data) return std::nullopt;
  SetupInfoFile info;
  info.ReadFromBuffer(*data);
  return info;
}

std::optional<CompLineList> OpenedSetup::CompiledLines() {
  auto data = pak_->LoadByName("CompiledLines", 0);
  if (!data) return std::nullopt;
  CompLineList lines;
  lines.LoadFromBuffer(*data);
  return lines;
}

std::optional<ProductInformation> OpenedSetup::ProductInfo() {
  const std::vector<PakFile>& files = pak_->Files();
  if (std::none_of(files.begin(), files.end(),
                   [](const PakFile& f) { return f.Group == 0 && EqualsNoCase(f.Name, kProductInfoEntry); }))
    return ProductInformation{};
  auto data = pak_->LoadByName(kProductInfoEntry, 0);
  if (!data) return std::nullopt;
  return ReadProductInfo(*data);
}

std::string EntryMethod(OpenedSetup& s, const PakFile& e) {
  if (e.Kind == kEntryDelta) return "delta";
  if (e.CompSize == 0) return "stored";
  uint8_t head[sizeof kZstdMagic] = {};
  const size_t got = s.File().ReadAt(e.Offset, head);
  return CodecOf(std::span(head, got)) == PakCodec::kZstd ? "zstd" : "zlib";
}

std::string DeltaBaseText(OpenedSetup& s) {
  std::optional<std::vector<uint8_t>> text = s.Pak().LoadByName(kDeltaBaseEntry, 0);
  return text ? std::string(text->begin(), text->end()) : std::string();
}

bool UsesZstd(OpenedSetup& s) {
  const std::vector<PakFile>& files = s.Pak().Files();
  return std::any_of(files.begin(), files.end(), [&](const PakFile& f) { return EntryMethod(s, f) == "zstd"; });
}

EntryCheck CheckEntry(OpenedSetup& s, size_t index) {
  EntryCheck c;
  c.Index = index;
  const PakFile* e = s.Pak().Entry(index);
  if (!e) {
    c.State = "no such entry";
    return c;
  }
  if (e->OrigSize == 0 && e->CompSize == 0) {
    c.Sound = true;
    c.State = "empty";
    return c;
  }
  if (std::string range = StoredRangeProblem(s, *e); !range.empty()) {
    c.State = range;
    return c;
  }
  if (e->Kind == kEntryDelta) {
    // As stored: made only against its base, which is not here.
    c.Sound = s.Pak().VerifyEntry(index);
    c.State = c.Sound ? "ok (delta)" : s.Pak().LastLoadError();
    return c;
  }
  if (IsLargeStored(*e)) {
    // The stub's own check: streamed through a fixed buffer, 0 unchecked.
    c.Sound = s.Pak().VerifyEntry(index);
    c.State = !c.Sound ? s.Pak().LastLoadError() : e->Checksum == 0 ? "large, stored (no checksum)" : "ok";
    return c;
  }
  try {
    if (s.Pak().StreamEntry(index, {})) {
      c.Sound = true;
      c.State = "ok";
    } else {
      c.State = s.Pak().LastLoadError().empty() ? "cannot be loaded" : s.Pak().LastLoadError();
    }
  } catch (const std::exception& err) {
    c.State = err.what();
  }
  return c;
}

std::map<uint16_t, std::string> InstallFolders(OpenedSetup& s) {
  std::map<uint16_t, std::string> folders;
  std::optional<CompLineList> lines = s.CompiledLines();
  if (!lines) return folders;
  CommandList commands;
  RegisterCommands(commands);
  int n = 0;
  for (const CompLine& l : lines->Lines) {
    CommandClass* c = commands.Find(l.CommandNo);
    if (!c || c->GroupKind() == 0) continue;
    ++n;
    if (c->Keyword != "file" || n > 0xFFFF) continue;
    std::string sub = l.Params.size() >= 3 ? l.Params[1] : std::string();
    if (!sub.empty() && sub.back() != '\\' && sub.back() != '/') sub += '\\';
    folders[static_cast<uint16_t>(n)] = sub.find_first_not_of(".\\/") == std::string::npos ? std::string() : sub;
  }
  return folders;
}

std::vector<std::string> CheckStructure(OpenedSetup& s) {
  std::vector<std::string> findings;
  auto info = s.SetupInfo();
  if (!info) findings.push_back("no sound \"SetupInfo\" entry in group 0");
  bool uninstaller = info && info->IsUninstaller != 0;
  auto lines = s.CompiledLines();
  if (!lines) {
    if (!uninstaller) findings.push_back("no sound \"CompiledLines\" entry in group 0");
    return findings;
  }
  CommandList commands;
  RegisterCommands(commands);
  std::vector<uint8_t> kinds = BuildGroupKinds(*lines, commands);
  size_t groups = kinds.size() - 1;
  std::map<uint16_t, size_t> counts;
  for (const PakFile& f : s.Pak().Files())
    if (f.Group != 0) ++counts[f.Group];
  for (const auto& [group, count] : counts)
    if (group > groups)
      findings.push_back("group " + std::to_string(group) + " holds " + std::to_string(count) +
                         " entries but the command stream has only " + std::to_string(groups) + " payload lines");
  // The n-th payload line must carry n as its last parameter.
  int n = 0;
  for (size_t i = 0; i < lines->Lines.size(); ++i) {
    const CompLine& l = lines->Lines[i];
    CommandClass* c = commands.Find(l.CommandNo);
    if (!c || c->GroupKind() == 0) continue;
    ++n;
    std::string last = l.Params.empty() ? std::string() : l.Params.back();
    if (last != std::to_string(n))
      findings.push_back("line " + std::to_string(i) + " (\"" + c->Keyword + "\") carries group '" + last +
                         "', expected " + std::to_string(n));
  }
  return findings;
}

// A delta entry made against `base` (the file it patches).
void PatchEntry(OpenedSetup& s, const PakFile& e, const fs::path& target, const fs::path& base) {
  if (base.empty()) throw SetupError("a delta entry: give --base DIR, the release it patches");
  auto in = OpenDiskFile(base, FileMode::kRead);
  if (!in) throw SetupError("a delta entry: its base '" + base.string() + "' cannot be read");
  auto out = OpenDiskFile(target, FileMode::kCreate);
  if (!out) throw SetupError("cannot create '" + target.string() + "'");
  uint64_t at = 0;
  EntryVerdict v = DeltaApplier().Apply(s.File(), s.Pak().ArchiveEnd(), e, *in, [&](std::span<const uint8_t> bytes) {
    out->WriteAt(at, bytes);
    at += bytes.size();
  });
  if (v.Sound) return;
  out.reset();
  std::error_code ec;
  fs::remove(target, ec);
  throw SetupError(v.Error + " (base '" + base.string() + "')");
}

void ExtractEntry(OpenedSetup& s, size_t index, const fs::path& target, const fs::path& base) {
  const PakFile* e = s.Pak().Entry(index);
  if (!e) throw SetupError("no such entry");
  std::error_code ec;
  if (target.has_parent_path()) fs::create_directories(target.parent_path(), ec);
  if (e->Kind == kEntryDelta) return PatchEntry(s, *e, target, base);
  if (e->OrigSize == 0) {
    WriteFileBytes(target, {});
    return;
  }
  if (std::string range = StoredRangeProblem(s, *e); !range.empty()) throw SetupError(range);
  if (IsLargeStored(*e)) {
    auto out = OpenDiskFile(target, FileMode::kCreate);
    if (!out) throw SetupError("cannot create '" + target.string() + "'");
    uint32_t crc = StreamStored(s, *e, [&](std::span<const uint8_t> bytes, uint64_t at) { out->WriteAt(at, bytes); });
    if (e->Checksum != 0 && crc != e->Checksum) throw SetupError("checksum mismatch");
    return;
  }
  auto out = OpenDiskFile(target, FileMode::kCreate);
  if (!out) throw SetupError("cannot create '" + target.string() + "'");
  uint64_t at = 0;
  const bool sound = s.Pak().StreamEntry(index, [&](std::span<const uint8_t> bytes) {
    out->WriteAt(at, bytes);
    at += bytes.size();
  });
  if (!sound) {
    out.reset();
    fs::remove(target, ec);  // damage leaves no file, as when nothing was unpacked
    throw SetupError(s.Pak().LastLoadError().empty() ? "cannot be loaded" : s.Pak().LastLoadError());
  }
}

}  // namespace ferry::tool

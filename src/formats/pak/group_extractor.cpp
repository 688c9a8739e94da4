#include "formats/pak/group_extractor.h"

#include <algorithm>
#include <system_error>
#include <vector>

#include "base/file_system.h"
#include "base/random_name.h"
#include "base/scope_guard.h"
#include "base/setup_error.h"
#include "formats/pak/delta_codec.h"
#include "formats/pak/entry_reader.h"
#include "formats/pak/inflate_pipeline.h"
#include "formats/pak/pak_reader.h"

namespace ferry {

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// An archive is untrusted: its names must stay below the target folder. No
// root, no drive or stream colon, no ".." step, and a file name at the end.
bool IsSafeEntryName(const std::string& name) {
  if (name.empty() || IsSeparator(name.front()) || IsSeparator(name.back())) return false;
  if (name.find(':') != std::string::npos) return false;
  size_t start = 0;
  while (start <= name.size()) {
    size_t end = start;
    while (end < name.size() && !IsSeparator(name[end])) ++end;
    if (name.compare(start, end - start, "..") == 0) return false;
    start = end + 1;
  }
  return true;
}

// The folder part of a path string, or empty when it has none.
std::string ParentOf(const std::string& path) {
  auto it = std::find_if(path.rbegin(), path.rend(), IsSeparator);
  if (it == path.rend()) return {};
  return path.substr(0, static_cast<size_t>(path.rend() - it) - 1);
}

// Where a file is written before it is renamed over its target: a name
// nobody could have prepared, created new.
// Its folder is spelt as the target's (a doubled separator kept), so that
// recovery knows it for the target's scratch file.
std::string ScratchPathFor(const std::string& target) {
  const std::string dir = ParentOf(target);
  return RandomScratchPath(dir.empty() ? dir : dir + "\\");
}

// The outermost folder of `dir` that is not there: the one that could not be made.
std::string FirstMissing(FileSystem& files, std::string dir) {
  std::string missing;
  for (; !dir.empty() && !files.DirectoryExists(dir) && !files.FileExists(dir); dir = ParentOf(dir)) missing = dir;
  return missing;
}

// The unpacking workers: the cores but the one the writing thread keeps busy.
unsigned WriterHelpers() { return std::max(1u, ReaderThreads() - 1); }

}  // namespace

ExtractStep StepFor(const PakFile& entry) {
  if (!IsSafeEntryName(entry.Name)) return ExtractStep::kRefused;
  if (entry.Kind == kEntryDelta) return ExtractStep::kPatch;
  if (entry.OrigSize == 0) return ExtractStep::kEmpty;
  if (entry.OrigSize >= kLargeEntryThreshold) return ExtractStep::kCopyRaw;
  return ExtractStep::kUnpack;
}

GroupExtractor::GroupExtractor(const PakReader& pak, FileSystem& files, ExtractEvents events)
    : GroupExtractor(pak, files, std::move(events), {}) {}

GroupExtractor::GroupExtractor(const PakReader& pak, FileSystem& files, ExtractEvents events,
                               DeltaPlan plan)
    : pak_(pak), files_(files), events_(std::move(events)), plan_(std::move(plan)) {}

// Of a delta entry and its whole twin, the one not written.
bool GroupExtractor::PassedOver(size_t index) const {
  const std::vector<PakFile>& entries = pak_.Files();
  if (entries[index].Kind == kEntryDelta) return plan_.WholeInstead.count(index) != 0;
  if (entries[index].Kind != kEntryWholeFallback) return false;
  return index == 0 || entries[index - 1].Kind != kEntryDelta || plan_.WholeInstead.count(index - 1) == 0;
}

GroupExtractor::~GroupExtractor() = default;

void GroupExtractor::CreateFoldersOf(const std::string& target) {
  std::string dir = ParentOf(target);
  // Entries of one folder follow each other: its check is done once.
  if (!dir.empty() && dir == known_dir_) return;
  // The event names a folder without its backslash; the install log adds it.
  auto created = [this](const std::string& made) {
    if (!events_.DirectoryCreated) return;
    const bool slash = !made.empty() && (made.back() == '\\' || made.back() == '/');
    events_.DirectoryCreated(slash ? made.substr(0, made.size() - 1) : made);
  };
  if (!ForceDirectories(files_, dir, created)) {
    std::string missing = FirstMissing(files_, dir);
    if (!missing.empty()) throw SetupError("Cannot create the folder " + missing);
  }
  known_dir_ = dir;
}

// Entries are unpacked ahead on other threads while this one writes: those
// StepFor sends to kUnpack, in directory order.
void GroupExtractor::StartPipeline(uint16_t group) {
  std::vector<size_t> order;
  const std::vector<PakFile>& entries = pak_.Files();
  for (size_t i = 0; i < entries.size(); ++i)
    if (entries[i].Group == group && StepFor(entries[i]) == ExtractStep::kUnpack) order.push_back(i);
  if (!pak_.File() || order.empty()) return;
  try {
    pipeline_ = std::make_unique<InflatePipeline>(*pak_.File(), pak_.ArchiveEnd(), entries, std::move(order),
                                                  WriterHelpers());
  } catch (const std::system_error&) {
    // No thread to be had: this thread unpacks as it writes.
  }
}

bool GroupExtractor::Extract(const std::string& targetDir, uint16_t group) {
  // Folders seen by an earlier run may have gone since.
  known_dir_.clear();
  StartPipeline(group);
  ScopeGuard forget([this] {
    pipeline_.reset();
    known_dir_.clear();
  });
  bool allWritten = true;
  const std::vector<PakFile>& entries = pak_.Files();
  for (size_t index = 0; index < entries.size(); ++index) {
    const PakFile& e = entries[index];
    if (e.Group != group) continue;
    if (events_.EntryStarted) events_.EntryStarted(e.Name);
    if (PassedOver(index)) {
      // its twin is written
    } else if (plan_.AlreadyMade.count(index) != 0) {
      if (events_.FileWritten) events_.FileWritten(targetDir + "\\" + e.Name);
    } else if (StepFor(e) == ExtractStep::kRefused) {
      if (events_.NameRefused) events_.NameRefused(e.Name);
      allWritten = false;
    } else {
      std::string target = targetDir + "\\" + e.Name;
      if (events_.FileWritten) events_.FileWritten(target);
      bool ok = ExtractEntry(target, index);
      allWritten = allWritten && ok;
    }
    if (events_.EntryDone) events_.EntryDone();
  }
  if (events_.GroupDone) events_.GroupDone();
  return allWritten;
}

bool GroupExtractor::ExtractEntry(const std::string& target, size_t index) {
  const PakFile& e = pak_.Files()[index];
  bool ok = false;
  std::string why;
  try {
    CreateFoldersOf(target);
    // Created with the rights to move it into place: one open a file. A
    // patch reads the file it replaces, so it is always staged.
    const std::string scratch = ScratchPathFor(target);
    std::unique_ptr<StagedFile> staged = StepFor(e) == ExtractStep::kPatch
                                             ? files_.CreateStaged(scratch, target)
                                             : files_.CreateStagedOrFresh(scratch, target);
    if (!staged) throw SetupError("Cannot create " + target);
    switch (StepFor(e)) {
      case ExtractStep::kCopyRaw:
        ok = CopyLargeEntryTo(staged->File(), e.Name, e.OrigSize, index);
        if (!ok) why = "the entry's bytes are not all in the archive";
        break;
      case ExtractStep::kEmpty:
        ok = true;  // an empty file is all there is to write
        break;
      case ExtractStep::kUnpack: {
        EntryVerdict check = WriteEntryFile(staged->File(), index);
        ok = check.Sound;
        why = check.Error;
        break;
      }
      case ExtractStep::kPatch: {
        EntryVerdict check = PatchEntryFile(staged->File(), target, index);
        ok = check.Sound;
        why = check.Error;
        break;
      }
      case ExtractStep::kRefused:  // Extract never sends one here
        break;
    }
    if (ok && !staged->Place()) {
      ok = false;
      why = "it could not replace the file there (in use by a running program?)";
    }
  } catch (const SetupError& failure) {
    if (!events_.FileNotWritten) throw;
    why = failure.what();
  }
  if (!ok && events_.FileNotWritten) events_.FileNotWritten(target, why);
  return ok;
}

// The entry is unpacked into the scratch file as it streams; whether it was
// sound is known only at its end, and a damaged one is never put in place.
EntryVerdict GroupExtractor::WriteEntryFile(RandomAccessFile& out, size_t index) {
  uint64_t at = 0;
  auto write = [&](std::span<const uint8_t> bytes) {
    out.WriteAt(at, bytes);
    at += bytes.size();
  };
  if (pipeline_) return pipeline_->Take(index, write);
  if (!pak_.File()) return EntryVerdict{false, "the archive is closed", std::nullopt};
  if (!reader_) reader_ = std::make_unique<PakEntryReader>(kWorkerChunkSize);
  return reader_->Stream(*pak_.File(), pak_.ArchiveEnd(), pak_.Files()[index], write);
}

// The installed file is read as the base while the result goes to the
// scratch file; the old file stays in place until the result is whole and
// its hash is the recorded one.
EntryVerdict GroupExtractor::PatchEntryFile(RandomAccessFile& out, const std::string& target, size_t index) {
  if (!pak_.File()) return EntryVerdict{false, "the archive is closed", std::nullopt};
  std::unique_ptr<RandomAccessFile> base = files_.Open(target, FileMode::kRead);
  if (!base) return EntryVerdict{false, "the file to patch is missing", std::nullopt};
  if (!patcher_) patcher_ = std::make_unique<DeltaApplier>();
  uint64_t at = 0;
  return patcher_->Apply(*pak_.File(), pak_.ArchiveEnd(), pak_.Files()[index], *base,
                         [&](std::span<const uint8_t> bytes) {
                           out.WriteAt(at, bytes);
                           at += bytes.size();
                         });
}

bool GroupExtractor::CopyLargeEntry(const std::string& target, const std::string& displayName, uint32_t size,
                                    size_t index, const std::string& writeTo) {
  CreateFoldersOf(target);
  auto out = files_.Open(writeTo.empty() ? target : writeTo, FileMode::kCreate);
  if (!out) throw SetupError("Cannot create " + target);
  return CopyLargeEntryTo(*out, displayName, size, index);
}

bool GroupExtractor::CopyLargeEntryTo(RandomAccessFile& out, const std::string& displayName, uint32_t size,
                                      size_t index) {
  const PakFile* e = pak_.Entry(index);
  RandomAccessFile* file = pak_.File();
  const uint64_t end = pak_.ArchiveEnd();
  if (!e || !file) return false;
  if (e->Offset > end || size > end - e->Offset) return false;

  // Progress is said once per kCopyChunkSize; the bytes go through a
  // buffer of kVerifyChunkSize, so the copy's memory does not grow with it.
  std::vector<uint8_t> buffer(std::min<uint32_t>(size, kVerifyChunkSize));
  uint64_t copied = 0;
  while (copied < size) {
    if (copied % kCopyChunkSize == 0 && events_.Copying) events_.Copying(displayName, copied, size);
    const uint64_t chunkEnd = std::min<uint64_t>(size, (copied / kCopyChunkSize + 1) * kCopyChunkSize);
    std::span<uint8_t> part(buffer.data(), static_cast<size_t>(std::min<uint64_t>(chunkEnd - copied, buffer.size())));
    if (file->ReadAt(e->Offset + copied, part) != part.size()) return false;
    out.WriteAt(copied, part);
    copied += part.size();
  }
  return true;
}

}  // namespace ferry

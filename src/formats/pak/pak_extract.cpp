// Extraction of a payload group to disk: the "file" command's half of TPak.

#include <algorithm>
#include <system_error>

#include "formats/pak/pak_file.h"
#include "base/file_system.h"
#include "base/random_name.h"
#include "base/scope_guard.h"
#include "base/setup_error.h"
#include "formats/pak/inflate_pipeline.h"

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

std::string TPak::ByteSizeText(uint64_t bytes) const {
  return events_.FormatByteSize ? events_.FormatByteSize(bytes) : std::to_string(bytes);
}

void TPak::CreateFoldersOf(FileSystem& files, const std::string& target) {
  std::string dir = ParentOf(target);
  // Entries of one folder follow each other: its check is done once.
  if (!dir.empty() && dir == known_dir_) return;
  // The event names a folder without its backslash; the install log adds it.
  auto created = [this](const std::string& made) {
    if (!events_.DirectoryCreated) return;
    const bool slash = !made.empty() && (made.back() == '\\' || made.back() == '/');
    events_.DirectoryCreated(slash ? made.substr(0, made.size() - 1) : made);
  };
  if (!ForceDirectories(files, dir, created)) {
    std::string missing = FirstMissing(files, dir);
    if (!missing.empty()) throw SetupError("Cannot create the folder " + missing);
  }
  known_dir_ = dir;
}

std::unique_ptr<RandomAccessFile> TPak::CreateTarget(FileSystem& files, const std::string& target,
                                                     const std::string& writeTo) {
  CreateFoldersOf(files, target);
  auto out = files.Open(writeTo, FileMode::kCreate);
  if (!out) throw SetupError("Cannot create " + target);
  return out;
}

// The entry is unpacked into the scratch file as it streams; whether it was
// sound is known only at its end, and a damaged one is never put in place.
bool TPak::WriteEntryFile(RandomAccessFile& out, size_t index) {
  uint64_t at = 0;
  auto write = [&](std::span<const uint8_t> bytes) {
    out.WriteAt(at, bytes);
    at += bytes.size();
  };
  if (!pipeline_) return StreamEntry(index, write);
  return Record(files_[index], pipeline_->Take(index, write));
}

// The entries ExtractGroup unpacks, in the order it writes them: large ones
// are copied raw, empty ones and refused names have nothing to unpack.
std::vector<size_t> TPak::UnpackedInGroup(uint16_t group) const {
  std::vector<size_t> order;
  for (size_t i = 0; i < files_.size(); ++i) {
    const TPakFile& e = files_[i];
    if (e.Group == group && e.OrigSize != 0 && e.OrigSize < kLargeEntryThreshold && IsSafeEntryName(e.Name))
      order.push_back(i);
  }
  return order;
}

bool TPak::ExtractGroup(FileSystem& files, const std::string& targetDir, uint16_t group) {
  // Folders seen by an earlier call may have gone since.
  known_dir_.clear();
  // Entries are unpacked ahead on other threads while this one writes.
  std::unique_ptr<InflatePipeline> pipeline;
  if (std::vector<size_t> order = UnpackedInGroup(group); file_ && !order.empty()) {
    try {
      pipeline = std::make_unique<InflatePipeline>(*file_, end_, files_, std::move(order), WriterHelpers());
    } catch (const std::system_error&) {
      // No thread to be had: this thread unpacks as it writes.
    }
  }
  pipeline_ = pipeline.get();
  ScopeGuard forget([this] {
    pipeline_ = nullptr;
    known_dir_.clear();
  });
  bool allWritten = true;
  PakFound found = FindFirst(group, false);
  for (;;) {
    if (events_.SetStatusText) events_.SetStatusText(found.Name);
    if (found.Name.empty()) break;
    size_t index = cursor_ - 1;
    if (!IsSafeEntryName(found.Name)) {
      if (events_.NameRefused) events_.NameRefused(found.Name);
      allWritten = false;
    } else {
      std::string target = targetDir + "\\" + found.Name;
      if (events_.FileWritten) events_.FileWritten(target);
      bool ok = ExtractEntry(files, target, found, index);
      allWritten = allWritten && ok;
    }
    if (events_.StepGauge) events_.StepGauge();
    found = FindNext(group, false);
  }
  return allWritten;
}

bool TPak::ExtractEntry(FileSystem& files, const std::string& target, const PakFound& found, size_t index) {
  bool ok = false;
  std::string why;
  try {
    CreateFoldersOf(files, target);
    // Created with the rights to move it into place: one open a file.
    std::unique_ptr<StagedFile> staged = files.CreateStaged(ScratchPathFor(target), target);
    if (!staged) throw SetupError("Cannot create " + target);
    if (found.Size >= kLargeEntryThreshold) {
      ok = CopyLargeEntryTo(staged->File(), found.Name, found.Size, index);
      if (!ok) why = "the entry's bytes are not all in the archive";
    } else if (found.Size == 0) {
      ok = true;  // an empty file is all there is to write
    } else {
      ok = WriteEntryFile(staged->File(), index);
      if (!ok) why = last_error_;
    }
    if (ok && !staged->Place()) {
      ok = false;
      why = "it could not replace the file there (in use by a running program?)";
    }
  } catch (const SetupError& e) {
    if (!events_.FileNotWritten) throw;
    why = e.what();
  }
  if (!ok && events_.FileNotWritten) events_.FileNotWritten(target, why);
  return ok;
}

bool TPak::CopyLargeEntry(FileSystem& files, const std::string& target, const std::string& displayName, uint32_t size,
                          size_t index, const std::string& writeTo) {
  auto out = CreateTarget(files, target, writeTo.empty() ? target : writeTo);
  return CopyLargeEntryTo(*out, displayName, size, index);
}

bool TPak::CopyLargeEntryTo(RandomAccessFile& out, const std::string& displayName, uint32_t size, size_t index) {
  const TPakFile* e = Entry(index);
  if (!e || !file_) return false;
  if (e->Offset > end_ || size > end_ - e->Offset) return false;

  // The status line moves once per kCopyChunkSize; the bytes go through a
  // buffer of kVerifyChunkSize, so the copy's memory does not grow with it.
  std::vector<uint8_t> buffer(std::min<uint32_t>(size, kVerifyChunkSize));
  uint64_t copied = 0;
  while (copied < size) {
    if (copied % kCopyChunkSize == 0 && events_.SetStatusText)
      events_.SetStatusText(displayName + " - " + ByteSizeText(copied) + " / " + ByteSizeText(size));
    const uint64_t chunkEnd = std::min<uint64_t>(size, (copied / kCopyChunkSize + 1) * kCopyChunkSize);
    std::span<uint8_t> part(buffer.data(), static_cast<size_t>(std::min<uint64_t>(chunkEnd - copied, buffer.size())));
    if (file_->ReadAt(e->Offset + copied, part) != part.size()) return false;
    out.WriteAt(copied, part);
    copied += part.size();
  }
  return true;
}

}  // namespace ferry

// Writing a payload group of a setup archive to disk: the "file" command's
// work. A GroupExtractor is made for one run, with the reader, the file
// system and the events of that run. Entries are unpacked ahead on worker
// threads (inflate_pipeline.h) while the calling thread creates and writes
// the files in directory order, so every event comes in the order one
// thread would give.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>

#include "formats/pak/pak_format.h"

namespace ferry {

class DeltaApplier;
class FileSystem;
class InflatePipeline;
class PakEntryReader;
class PakReader;
class RandomAccessFile;

// What extraction reports, as values; wording them is the caller's business.
// Every member may be left empty.
struct ExtractEvents {
  // The entry about to be written (or refused), by its name in the archive.
  std::function<void(const std::string& name)> EntryStarted;
  // A large entry's copy: `copied` of its `size` bytes are on disk; said
  // before each kCopyChunkSize bytes.
  std::function<void(const std::string& name, uint64_t copied, uint64_t size)> Copying;
  // The entry is done, whatever became of it.
  std::function<void()> EntryDone;
  // The group's last entry is done.
  std::function<void()> GroupDone;
  // A file about to be written (install log AddFile); the path is
  // targetDir + "\" + entry name.
  std::function<void(const std::string& path)> FileWritten;
  // A directory that extraction created (install log AddDirectory), parents first.
  std::function<void(const std::string& path)> DirectoryCreated;
  // An entry name that would leave the target folder ("..", a drive, a
  // leading slash or backslash): the entry is not written.
  std::function<void(const std::string& name)> NameRefused;
  // A file that could not be written with its data (it could not be created
  // or written, or the entry's data did not load), and why. When set,
  // extraction reports such a file here and goes on with the next entry
  // instead of throwing.
  std::function<void(const std::string& path, const std::string& reason)> FileNotWritten;
};

// What extraction does with an entry. The one decision, read both for the
// order the workers unpack ahead in and by the writing, so the two agree.
enum class ExtractStep {
  kRefused,  // its name leaves the target folder: nothing is written
  kPatch,    // a delta entry: made from the file at its path and written
  kEmpty,    // OrigSize 0: an empty file
  kCopyRaw,  // OrigSize >= kLargeEntryThreshold: its stored bytes copied
  kUnpack,   // unpacked ahead on a worker, then written
};
ExtractStep StepFor(const PakFile& entry);

// Delta entries (by index) not applied as they are, worked out before a run
// from the files they would patch.
struct DeltaPlan {
  // The installed file is not the delta's base: the whole twin after it
  // (kEntryWholeFallback) is written in its place.
  std::set<size_t> WholeInstead;
  // The installed file is the delta's result already: it is left as it is
  // (and reported written).
  std::set<size_t> AlreadyMade;
};

class GroupExtractor {
 public:
  // `pak` and `files` must outlive the extractor.
  GroupExtractor(const PakReader& pak, FileSystem& files, ExtractEvents events);
  // `plan` says what to do instead of applying some delta entries; any
  // whole twin not named there is passed over.
  GroupExtractor(const PakReader& pak, FileSystem& files, ExtractEvents events, DeltaPlan plan);
  ~GroupExtractor();
  GroupExtractor(const GroupExtractor&) = delete;
  GroupExtractor& operator=(const GroupExtractor&) = delete;

  // Writes every entry of `group` as a file targetDir + "\" + Name, creating
  // missing directories (each reported through DirectoryCreated), reporting
  // EntryStarted / FileWritten before and EntryDone after each entry, and
  // GroupDone when the group ends. A delta entry is applied to the file at
  // its target (which must be its base: the result's SHA-256 is checked);
  // of a delta and its whole twin only one is written. Each file is written under a scratch name
  // in its folder and renamed over its target when whole, so no file is ever
  // cut short under its own name; an entry that fails to load leaves no file.
  // A refused name (NameRefused) is not written, but is still started and
  // done. Returns true when every entry was written with its data. Throws
  // SetupError when a file or directory cannot be created or written, unless
  // FileNotWritten is set (see ExtractEvents).
  bool Extract(const std::string& targetDir, uint16_t group);
  // Copies `size` stored bytes of entry `index` to `target` in chunks of at
  // most kCopyChunkSize, reporting Copying with displayName before each
  // chunk; no inflation, no checksum. Creates missing directories and the
  // file (at writeTo when given, target's scratch name). False (and an empty
  // or partial file) when the bytes are not all in the archive or the index
  // is bad. Throws SetupError when the file cannot be created or written.
  bool CopyLargeEntry(const std::string& target, const std::string& displayName, uint32_t size, size_t index,
                      const std::string& writeTo = {});

 private:
  bool ExtractEntry(const std::string& target, size_t index);
  bool PassedOver(size_t index) const;
  EntryVerdict PatchEntryFile(RandomAccessFile& out, const std::string& target, size_t index);
  EntryVerdict WriteEntryFile(RandomAccessFile& out, size_t index);
  bool CopyLargeEntryTo(RandomAccessFile& out, const std::string& displayName, uint32_t size, size_t index);
  // Makes the missing folders of target's folder (checked once per folder in a run).
  void CreateFoldersOf(const std::string& target);
  void StartPipeline(uint16_t group);

  const PakReader& pak_;
  FileSystem& files_;
  const ExtractEvents events_;
  const DeltaPlan plan_;
  // During Extract: the last folder seen to exist, and the workers
  // unpacking the group's entries ahead of the writing.
  std::string known_dir_;
  std::unique_ptr<InflatePipeline> pipeline_;
  std::unique_ptr<PakEntryReader> reader_;  // when no worker could be had
  std::unique_ptr<DeltaApplier> patcher_;   // made at the first delta entry
};

}  // namespace ferry

// The one way the layers above base reach files and folders. Paths are the
// setup's own: 8-bit texts in the system code page with "\" separators
// ("C:\Program Files\Atlas\data.rkp"). The Windows programs get the Win32
// implementation from the app; tools and tests use DiskFileSystem() (the
// host's disk) or MemoryFileSystem.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/random_access_file.h"

// The Win32 headers define these names as macros for their own calls; here
// they are this interface's methods.
#undef CopyFile
#undef CreateDirectory
#undef RemoveDirectory

namespace ferry {

struct FoundFile {
  std::string Name;  // name only, no folder
  bool IsDirectory = false;
  bool IsReadOnly = false;
  bool IsLink = false;  // a linked folder (junction, symbolic link): its target is elsewhere
  uint64_t Size = 0;
};

// A new file written under a scratch name beside its target and moved over
// the target only once whole (Place), so no file is ever cut short under its
// own name. Destroyed unplaced, the scratch file goes.
class StagedFile {
 public:
  virtual ~StagedFile() = default;
  virtual RandomAccessFile& File() = 0;
  // Moves the file over its target, replacing what is there; false when it
  // cannot (a file in use). Called once.
  virtual bool Place() = 0;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // nullptr when the file is missing or cannot be opened in that mode.
  virtual std::unique_ptr<RandomAccessFile> Open(const std::string& path, FileMode mode) = 0;
  virtual bool FileExists(const std::string& path) = 0;       // exists and is not a folder
  virtual bool DirectoryExists(const std::string& path) = 0;  // exists and is a folder
  virtual bool IsReadOnly(const std::string& path) = 0;
  // Clears the read-only mark; false when that failed.
  virtual bool MakeWritable(const std::string& path) = 0;

  // Each false when the change did not happen; a missing file to remove is
  // not a failure.
  virtual bool RemoveFile(const std::string& path) = 0;
  // Renames or moves; an existing target is replaced.
  virtual bool RenameFile(const std::string& from, const std::string& to) = 0;
  virtual bool CopyFile(const std::string& from, const std::string& to, bool failIfExists) = 0;
  // One folder whose parent exists.
  virtual bool CreateDirectory(const std::string& path) = 0;
  // An empty folder.
  virtual bool RemoveDirectory(const std::string& path) = 0;

  // Everything matching a pattern such as "C:\dir\*.txt", without "." and "..".
  virtual std::vector<FoundFile> FindFiles(const std::string& pattern) = 0;

  // The scratch file is created new: nullptr when it cannot be or when
  // anything (a link included) already has its name.
  // This one writes through Open and places with RenameFile.
  virtual std::unique_ptr<StagedFile> CreateStaged(const std::string& scratch, const std::string& target);
  // A new file written at its own name, created new (nullptr when anything
  // has the name); Place only closes it, and destroyed unplaced it goes.
  virtual std::unique_ptr<StagedFile> CreateFresh(const std::string& path);
  // A payload file: where a stopped run's partial file is certain to be
  // removed (a run's journal), one with nothing at its name may be written
  // at that name, saving the rename. This one is CreateStaged.
  virtual std::unique_ptr<StagedFile> CreateStagedOrFresh(const std::string& scratch, const std::string& target);
};

// Called with each folder ForceDirectories created, parents first, with a
// trailing backslash (the folder asked for as it was written), so the install
// log can record it.
using DirectoryCreatedFn = std::function<void(const std::string& dir)>;

// Creates the missing folders of "X:\a\b\..." one component at a time (other
// forms create nothing) and reports each one it made. The only routine that
// creates folders for a setup. False when a folder could not be created.
bool ForceDirectories(FileSystem& files, const std::string& path, const DirectoryCreatedFn& created = {});

// A name against a FindFiles mask of "*" and "?", letters of either case.
bool MatchesFileMask(std::string_view name, std::string_view mask);

// The host's disk, for tools and tests ("\" is taken as "/" on POSIX hosts).
FileSystem& DiskFileSystem();

}  // namespace ferry

// The setup's FileSystem on Windows: 8-bit paths in the system code page,
// turned wide (and long where needed) by WinPath for every call.
#pragma once

#include <windows.h>

#include "base/file_system.h"

// Whatever the order of the includes before: the methods' names, not the
// Win32 macros.
#undef CopyFile
#undef CreateDirectory
#undef RemoveDirectory

namespace ferry {

class WinFileSystem : public FileSystem {
 public:
  std::unique_ptr<RandomAccessFile> Open(const std::string& path, FileMode mode) override;
  bool FileExists(const std::string& path) override;
  bool DirectoryExists(const std::string& path) override;
  bool IsReadOnly(const std::string& path) override;
  // Sets the attributes to normal, as the package commands always did.
  bool MakeWritable(const std::string& path) override;
  // A missing file: DeleteFile's own false.
  bool RemoveFile(const std::string& path) override;
  bool RenameFile(const std::string& from, const std::string& to) override;
  bool CopyFile(const std::string& from, const std::string& to, bool failIfExists) override;
  bool CreateDirectory(const std::string& path) override;
  bool RemoveDirectory(const std::string& path) override;
  std::vector<FoundFile> FindFiles(const std::string& pattern) override;
  // One handle from creation to the move by handle: no second open, no
  // lookup of the scratch name by the move.
  std::unique_ptr<StagedFile> CreateStaged(const std::string& scratch, const std::string& target) override;
  std::unique_ptr<StagedFile> CreateFresh(const std::string& path) override;
};

// The one instance, for the platform's own helpers.
WinFileSystem& WinFiles();

}  // namespace ferry

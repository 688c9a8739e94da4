// A fresh folder below the temporary folder, removed with its content.
#pragma once

#include <windows.h>

#include <string>

#include "platform/files.h"
#include "platform/win_file_system.h"

namespace ferry::testing {

class TempDir {
 public:
  explicit TempDir(const std::string& tag) {
    path_ = TempFolder() + "ferry_" + tag + "_" + std::to_string(GetCurrentProcessId()) + "_" +
            std::to_string(GetTickCount()) + "\\";
    CreateDirectoryAt(path_);
  }
  ~TempDir() { RemoveTree(path_); }
  const std::string& path() const { return path_; }

  static void RemoveTree(const std::string& dir) {
    for (const FoundFile& f : WinFiles().FindFiles(dir + "*")) {
      if (f.IsDirectory) {
        RemoveTree(dir + f.Name + "\\");
      } else {
        SetFileAttributesOf(dir + f.Name, FILE_ATTRIBUTE_NORMAL);
        DeleteFileAt(dir + f.Name);
      }
    }
    RemoveDirectoryAt(dir);
  }

 private:
  std::string path_;
};

}  // namespace ferry::testing

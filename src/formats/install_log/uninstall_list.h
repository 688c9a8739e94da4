// The install log: every file, registry value and folder a setup creates,
// saved enciphered in the install directory and replayed by the uninstaller.
//
// File (little-endian): u16 file count, u16 registry count, u16 folder
// count, then all Files, all RegistryEntries, all Directories, each a u16
// byte count and the string enciphered with DigitKeyEncode(kInstallLogKey)
// (the key restarting for every string). No header, version or checksum;
// three empty lists make six bytes.
//
// Files and RegistryEntries refuse duplicates ignoring ASCII case, through a
// hashed index of their positions (the texts are held once, in the lists), so
// recording n entries takes linear time. A list holds at
// most 65,535 strings of at most 65,535 bytes: the format can hold no more,
// so further entries are refused rather than saved as a damaged log.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>


namespace ferry {

class FileSystem;

class UninstallList {
 public:
  static constexpr size_t kMaxEntries = 0xFFFF;
  static constexpr size_t kMaxLength = 0xFFFF;

  const std::vector<std::string>& Files() const { return files_; }
  const std::vector<std::string>& RegistryEntries() const { return registry_; }
  const std::vector<std::string>& Directories() const { return directories_; }

  // How AddFile folds a path before recording it (FoldPathVars with the live
  // folders; the setup context sets it). Unset: paths are kept as given.
  void SetPathFolder(std::function<std::string(std::string_view)> folder) { folder_ = std::move(folder); }

  // Folds the path and appends it unless HasFile finds it. True when added.
  bool AddFile(std::string_view path);
  bool HasFile(std::string_view path) const;
  // One value as four quoted fields: "root" "key" "value name" "data".
  bool AddRegistryEntry(std::string_view record);
  bool HasRegistryEntry(std::string_view record) const;
  // Appended as given; the same folder may appear twice. True when added.
  bool AddDirectory(std::string_view path);
  void Clear();

  std::vector<uint8_t> SaveToBuffer() const;
  // Replaces the lists. Damaged data: a string cut by the end of the data
  // keeps the bytes present; strings promised beyond the end are not
  // created. Never reads outside the data.
  void LoadFromBuffer(std::span<const uint8_t> data);

  // Deletes and rewrites the log; false when it could not be written.
  bool SaveToFile(FileSystem& files, std::string_view directory, std::string_view prefix) const;
  // Replaces the lists with the log's content; a missing or unreadable file
  // leaves them as they are and returns false.
  bool LoadFromFile(FileSystem& files, std::string_view directory, std::string_view prefix);

 private:
  // The positions of a list's strings by their text ignoring ASCII case.
  class FoldedIndex {
   public:
    bool Has(const std::vector<std::string>& list, std::string_view text) const;
    // Indexes the list's last string.
    void AddLast(const std::vector<std::string>& list);
    // Indexes every string of the list (duplicates too).
    void Rebuild(const std::vector<std::string>& list);
    void Clear();

   private:
    void Place(const std::vector<std::string>& list, size_t position);
    void Grow(const std::vector<std::string>& list, size_t slots);
    std::vector<uint32_t> slots_;  // position + 1, or 0 where free; open addressing
    size_t count_ = 0;
  };

  std::vector<std::string> files_;
  std::vector<std::string> registry_;
  std::vector<std::string> directories_;
  FoldedIndex file_index_;
  FoldedIndex registry_index_;
  std::function<std::string(std::string_view)> folder_;
};

// Where the install log of a setup lives: installDir + "\" + prefix +
// "install.log" (no second backslash after a folder that ends in one).
std::string InstallLogPath(std::string_view installDir, std::string_view prefix);

}  // namespace ferry

#include "formats/install_log/uninstall_list.h"

#include "formats/pak/digit_key.h"
#include "base/file_system.h"
#include "base/byte_reader.h"
#include "base/byte_writer.h"
#include "base/random_access_file.h"
#include "base/setup_error.h"
#include "base/text.h"

namespace ferry {

namespace {

bool Fits(const std::vector<std::string>& list, std::string_view text) {
  return list.size() < UninstallList::kMaxEntries && text.size() <= UninstallList::kMaxLength;
}

void WriteList(ByteWriter& w, const std::vector<std::string>& list) {
  for (const std::string& s : list) w.LenString(DigitKeyEncode(kInstallLogKey, s));
}

// Strings promised beyond the end of the data would all read as empty: they
// are not created, so a damaged count cannot make us allocate.
void ReadList(ByteReader& r, size_t count, std::vector<std::string>& list) {
  list.clear();
  for (size_t i = 0; i < count && !r.AtEnd(); ++i) list.push_back(DigitKeyDecode(kInstallLogKey, r.LenString()));
}

}  // namespace

bool UninstallList::AddFile(std::string_view path) {
  std::string folded = folder_ ? folder_(path) : std::string(path);
  if (!Fits(files_, folded)) return false;
  if (!file_index_.insert(AsciiLowerCopy(folded)).second) return false;
  files_.push_back(std::move(folded));
  return true;
}

bool UninstallList::HasFile(std::string_view path) const { return file_index_.count(AsciiLowerCopy(path)) != 0; }

bool UninstallList::AddRegistryEntry(std::string_view record) {
  if (!Fits(registry_, record)) return false;
  if (!registry_index_.insert(AsciiLowerCopy(record)).second) return false;
  registry_.emplace_back(record);
  return true;
}

bool UninstallList::HasRegistryEntry(std::string_view record) const {
  return registry_index_.count(AsciiLowerCopy(record)) != 0;
}

bool UninstallList::AddDirectory(std::string_view path) {
  if (!Fits(directories_, path)) return false;
  directories_.emplace_back(path);
  return true;
}

void UninstallList::Clear() {
  files_.clear();
  registry_.clear();
  directories_.clear();
  file_index_.clear();
  registry_index_.clear();
}

std::vector<uint8_t> UninstallList::SaveToBuffer() const {
  ByteWriter w;
  w.U16(static_cast<uint16_t>(files_.size()));
  w.U16(static_cast<uint16_t>(registry_.size()));
  w.U16(static_cast<uint16_t>(directories_.size()));
  WriteList(w, files_);
  WriteList(w, registry_);
  WriteList(w, directories_);
  return w.Take();
}

void UninstallList::LoadFromBuffer(std::span<const uint8_t> data) {
  Clear();
  ByteReader r(data);
  size_t files = r.U16();
  size_t registry = r.U16();
  size_t directories = r.U16();
  ReadList(r, files, files_);
  ReadList(r, registry, registry_);
  ReadList(r, directories, directories_);
  for (const std::string& f : files_) file_index_.insert(AsciiLowerCopy(f));
  for (const std::string& e : registry_) registry_index_.insert(AsciiLowerCopy(e));
}

std::string InstallLogPath(std::string_view installDir, std::string_view prefix) {
  std::string path(installDir);
  if (path.empty() || path.back() != '\\') path += '\\';
  path += prefix;
  path += "install.log";
  return path;
}

bool UninstallList::SaveToFile(FileSystem& files, std::string_view directory, std::string_view prefix) const {
  std::string path = InstallLogPath(directory, prefix);
  files.RemoveFile(path);
  std::vector<uint8_t> bytes = SaveToBuffer();
  auto file = files.Open(path, FileMode::kCreate);
  if (!file) return false;
  try {
    file->WriteAt(0, bytes);
  } catch (const SetupError&) {
    return false;
  }
  return true;
}

bool UninstallList::LoadFromFile(FileSystem& files, std::string_view directory, std::string_view prefix) {
  auto file = files.Open(InstallLogPath(directory, prefix), FileMode::kRead);
  if (!file) return false;
  std::vector<uint8_t> bytes = file->ReadVector(0, static_cast<size_t>(file->Size()));
  LoadFromBuffer(bytes);
  return true;
}

}  // namespace ferry

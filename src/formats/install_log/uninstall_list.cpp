#include "formats/install_log/uninstall_list.h"

#include <algorithm>

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

// FNV-1a over the ASCII-lower-cased bytes.
uint64_t FoldedHash(std::string_view text) {
  uint64_t hash = 14695981039346656037u;
  for (char c : text) hash = (hash ^ static_cast<uint8_t>(AsciiLower(c))) * 1099511628211u;
  return hash;
}

}  // namespace

bool UninstallList::FoldedIndex::Has(const std::vector<std::string>& list, std::string_view text) const {
  if (slots_.empty()) return false;
  const size_t mask = slots_.size() - 1;
  for (size_t at = FoldedHash(text) & mask; slots_[at] != 0; at = (at + 1) & mask)
    if (EqualsNoCase(list[slots_[at] - 1], text)) return true;
  return false;
}

void UninstallList::FoldedIndex::AddLast(const std::vector<std::string>& list) {
  // At most half full: a search meets a free slot soon.
  if (2 * (count_ + 1) > slots_.size()) Grow(list, std::max<size_t>(16, 2 * slots_.size()));
  Place(list, list.size());
  ++count_;
}

void UninstallList::FoldedIndex::Rebuild(const std::vector<std::string>& list) {
  Clear();
  for (size_t position = 1; position <= list.size(); ++position) {
    if (2 * (count_ + 1) > slots_.size()) Grow(list, std::max<size_t>(16, 2 * slots_.size()));
    Place(list, position);
    ++count_;
  }
}

void UninstallList::FoldedIndex::Place(const std::vector<std::string>& list, size_t position) {
  const size_t mask = slots_.size() - 1;
  size_t at = FoldedHash(list[position - 1]) & mask;
  while (slots_[at] != 0) at = (at + 1) & mask;
  slots_[at] = static_cast<uint32_t>(position);
}

void UninstallList::FoldedIndex::Grow(const std::vector<std::string>& list, size_t slots) {
  std::vector<uint32_t> old = std::move(slots_);
  slots_.assign(slots, 0);
  for (uint32_t position : old)
    if (position != 0) Place(list, position);
}

void UninstallList::FoldedIndex::Clear() {
  slots_.clear();
  count_ = 0;
}

bool UninstallList::AddFile(std::string_view path) {
  std::string folded = folder_ ? folder_(path) : std::string(path);
  if (!Fits(files_, folded) || file_index_.Has(files_, folded)) return false;
  files_.push_back(std::move(folded));
  file_index_.AddLast(files_);
  return true;
}

bool UninstallList::HasFile(std::string_view path) const { return file_index_.Has(files_, path); }

bool UninstallList::AddRegistryEntry(std::string_view record) {
  if (!Fits(registry_, record) || registry_index_.Has(registry_, record)) return false;
  registry_.emplace_back(record);
  registry_index_.AddLast(registry_);
  return true;
}

bool UninstallList::HasRegistryEntry(std::string_view record) const { return registry_index_.Has(registry_, record); }

bool UninstallList::AddDirectory(std::string_view path) {
  if (!Fits(directories_, path)) return false;
  directories_.emplace_back(path);
  return true;
}

void UninstallList::Clear() {
  files_.clear();
  registry_.clear();
  directories_.clear();
  file_index_.Clear();
  registry_index_.Clear();
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
  file_index_.Rebuild(files_);
  registry_index_.Rebuild(registry_);
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

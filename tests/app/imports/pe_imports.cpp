#include "pe_imports.h"

#include <algorithm>
#include <array>

#include "base/byte_reader.h"
#include "base/text.h"

namespace ferry {
namespace {

constexpr size_t kMaxSections = 96;       // the loader's own limit
constexpr size_t kMaxDescriptors = 4096;  // far above any real program
constexpr size_t kMaxNameLength = 260;

struct Section {
  uint32_t Address = 0, Size = 0, FileOffset = 0;
};

struct Image {
  std::span<const uint8_t> Bytes;
  std::vector<Section> Sections;

  // The file offset of rva, or nullopt when no section holds it.
  std::optional<size_t> Offset(uint32_t rva) const {
    for (const Section& s : Sections)
      if (rva >= s.Address && rva - s.Address < s.Size) return size_t{s.FileOffset} + (rva - s.Address);
    return std::nullopt;
  }

  std::optional<std::string> Name(uint32_t rva) const {
    std::optional<size_t> at = Offset(rva);
    if (!at || *at >= Bytes.size()) return std::nullopt;
    std::span<const uint8_t> rest = Bytes.subspan(*at, std::min(Bytes.size() - *at, kMaxNameLength));
    auto end = std::find(rest.begin(), rest.end(), 0);
    if (end == rest.end() || end == rest.begin()) return std::nullopt;
    return std::string(rest.begin(), end);
  }
};

// Descriptors of `size` bytes at rva, the name's RVA at name_field, up to
// an all-zero one.
bool ReadTable(const Image& image, uint32_t rva, size_t size, size_t name_field, std::vector<std::string>& out) {
  if (rva == 0) return true;
  std::optional<size_t> at = image.Offset(rva);
  if (!at || *at > image.Bytes.size()) return false;
  ByteReader r(image.Bytes);
  r.Seek(*at);
  for (size_t i = 0; i < kMaxDescriptors; ++i) {
    std::span<const uint8_t> entry = r.Bytes(size);
    if (r.Failed()) return false;
    if (std::all_of(entry.begin(), entry.end(), [](uint8_t b) { return b == 0; })) return true;
    ByteReader e(entry);
    e.Skip(name_field);
    std::optional<std::string> name = image.Name(e.U32());
    if (!name) return false;
    out.push_back(*name);
  }
  return false;
}

}  // namespace

std::optional<std::vector<std::string>> ReadPeImports(std::span<const uint8_t> bytes) {
  ByteReader r(bytes);
  if (r.U16() != 0x5A4D) return std::nullopt;  // "MZ"
  r.Seek(0x3C);
  r.Seek(r.U32());
  if (r.U32() != 0x00004550) return std::nullopt;  // "PE\0\0"
  r.Skip(2);
  size_t sections = r.U16();
  r.Skip(12);
  size_t optional_size = r.U16();
  r.Skip(2);
  size_t optional_start = r.Position();
  uint16_t magic = r.U16();
  if (r.Failed() || (magic != 0x10B && magic != 0x20B) || sections > kMaxSections) return std::nullopt;
  // PE32+ has 8-byte fields where PE32 has 4: the directories sit 16 bytes later.
  r.Skip(magic == 0x20B ? 106 : 90);
  uint32_t directories = r.U32();
  std::array<uint32_t, 2> imports{}, delay_imports{};
  if (directories > 1) {
    r.Skip(8);
    imports = {r.U32(), r.U32()};
  }
  if (directories > 13) {
    r.Skip(8 * 11);
    delay_imports = {r.U32(), r.U32()};
  }
  r.Seek(optional_start + optional_size);

  Image image{bytes, {}};
  for (size_t i = 0; i < sections; ++i) {
    r.Skip(8);
    uint32_t virtual_size = r.U32(), address = r.U32(), raw_size = r.U32(), raw_offset = r.U32();
    r.Skip(16);
    image.Sections.push_back({address, std::min(virtual_size ? virtual_size : raw_size, raw_size), raw_offset});
  }
  if (r.Failed()) return std::nullopt;

  std::vector<std::string> dlls;
  if (!ReadTable(image, imports[0], 20, 12, dlls) || !ReadTable(image, delay_imports[0], 32, 4, dlls))
    return std::nullopt;
  return dlls;
}

bool IsSystemOnlyDll(std::string_view name) {
  static constexpr std::string_view kAllowed[] = {
      "kernel32.dll", "user32.dll",   "gdi32.dll",    "advapi32.dll", "shell32.dll", "ole32.dll",
      "oleaut32.dll", "shlwapi.dll",  "msvcrt.dll",   "comdlg32.dll", "comctl32.dll"};
  std::string lower = AsciiLowerCopy(name);
  return std::find(std::begin(kAllowed), std::end(kAllowed), lower) != std::end(kAllowed);
}

}  // namespace ferry

#include "version_resource.h"

#include <algorithm>

#include "formats/pak/pe_image.h"
#include "base/byte_reader.h"
#include "base/text.h"

namespace ferry::tool {

namespace {

constexpr uint32_t kFixedSignature = 0xFEEF04BD;
constexpr size_t kHeaderSize = 6;        // wLength, wValueLength, wType
constexpr uint16_t kFixedInfoSize = 52;  // VS_FIXEDFILEINFO
constexpr uint16_t kTextType = 1;

// A block of the resource: header, NUL-terminated UTF-16 key, value,
// children. Offsets are into the image.
struct Block {
  size_t Start = 0;
  size_t End = 0;
  uint16_t ValueLength = 0;  // characters for text values, bytes otherwise
  uint16_t Type = 0;
  std::u16string Key;
  size_t ValueStart = 0;
  size_t ChildrenStart = 0;
};

class Walker {
 public:
  Walker(std::span<uint8_t> image, size_t root) : image_(image), root_(root) {}

  // Blocks are aligned to 4 bytes from the start of the resource.
  size_t Align(size_t pos) const { return root_ + ((pos - root_ + 3) & ~size_t{3}); }

  // The block at `start`, which must end by `limit`.
  std::optional<Block> Read(size_t start, size_t limit) const {
    if (start > limit || limit > image_.size()) return std::nullopt;
    ByteReader r(image_.subspan(start, limit - start));
    Block b;
    b.Start = start;
    const uint16_t length = r.U16();
    b.ValueLength = r.U16();
    b.Type = r.U16();
    if (r.Failed() || length < kHeaderSize || length > limit - start) return std::nullopt;
    b.End = start + length;
    r = ByteReader(image_.subspan(start, length));
    r.Skip(kHeaderSize);
    for (uint16_t c = r.U16(); c != 0; c = r.U16()) b.Key.push_back(static_cast<char16_t>(c));
    if (r.Failed()) return std::nullopt;
    b.ValueStart = std::min(Align(start + r.Position()), b.End);
    const size_t valueBytes = b.Type == kTextType ? size_t{b.ValueLength} * 2 : b.ValueLength;
    b.ChildrenStart = std::min(Align(std::min(b.ValueStart + valueBytes, b.End)), b.End);
    return b;
  }

  std::vector<Block> Children(const Block& parent) const {
    std::vector<Block> out;
    for (size_t pos = parent.ChildrenStart; parent.End - pos >= kHeaderSize;) {
      std::optional<Block> child = Read(pos, parent.End);
      if (!child) break;
      out.push_back(*child);
      pos = std::min(Align(child->End), parent.End);
    }
    return out;
  }

  void PutU16(size_t pos, uint16_t v) {
    image_[pos] = static_cast<uint8_t>(v);
    image_[pos + 1] = static_cast<uint8_t>(v >> 8);
  }
  void PutU32(size_t pos, uint32_t v) {
    PutU16(pos, static_cast<uint16_t>(v));
    PutU16(pos + 2, static_cast<uint16_t>(v >> 16));
  }

 private:
  std::span<uint8_t> image_;
  size_t root_;
};

// Where the "VS_VERSION_INFO" blocks with a fixed part start.
std::vector<size_t> FindRoots(std::span<const uint8_t> image) {
  std::vector<uint8_t> key;
  for (char c : std::string_view("VS_VERSION_INFO", 16)) {
    key.push_back(static_cast<uint8_t>(c));
    key.push_back(0);
  }
  std::vector<size_t> roots;
  for (auto it = image.begin(); (it = std::search(it, image.end(), key.begin(), key.end())) != image.end(); ++it) {
    const size_t at = static_cast<size_t>(it - image.begin());
    if (at < kHeaderSize) continue;
    const size_t root = at - kHeaderSize;
    ByteReader r(image.subspan(root));
    r.U16();
    const uint16_t valueLength = r.U16();
    const uint16_t type = r.U16();
    r.Seek(kHeaderSize + key.size() + 2);  // header, key and padding to 40
    if (valueLength == kFixedInfoSize && type == 0 && r.U32() == kFixedSignature && !r.Failed())
      roots.push_back(root);
  }
  return roots;
}

std::string Narrow(const std::u16string& s) { return Utf16ToUtf8(s); }

}  // namespace

std::optional<VersionNumbers> ParseVersionNumbers(std::string_view text) {
  VersionNumbers n{};
  size_t pos = 0;
  for (size_t part = 0; part < n.size(); ++part) {
    if (pos >= text.size() || text[pos] < '0' || text[pos] > '9') {
      if (part == 0) return std::nullopt;
      break;
    }
    uint32_t value = 0;
    for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos) {
      value = value * 10 + static_cast<uint32_t>(text[pos] - '0');
      if (value > 0xFFFF) return std::nullopt;
    }
    n[part] = static_cast<uint16_t>(value);
    if (pos + 1 >= text.size() || text[pos] != '.' || text[pos + 1] < '0' || text[pos + 1] > '9') break;
    ++pos;
  }
  return n;
}

VersionFillResult FillVersionResource(std::span<uint8_t> image, const VersionFill& fill,
                                      std::vector<std::string>& problems) {
  std::vector<size_t> roots = FindRoots(image);
  if (roots.empty()) return VersionFillResult::kNoResource;
  if (roots.size() > 1) return VersionFillResult::kAmbiguous;
  Walker w(image, roots[0]);
  std::optional<Block> root = w.Read(roots[0], image.size());
  if (!root || root->ValueStart + kFixedInfoSize > root->End) return VersionFillResult::kNoResource;

  auto ms = [](const VersionNumbers& v) { return static_cast<uint32_t>(v[0]) << 16 | v[1]; };
  auto ls = [](const VersionNumbers& v) { return static_cast<uint32_t>(v[2]) << 16 | v[3]; };
  w.PutU32(root->ValueStart + 8, ms(fill.FileVersion));
  w.PutU32(root->ValueStart + 12, ls(fill.FileVersion));
  w.PutU32(root->ValueStart + 16, ms(fill.ProductVersion));
  w.PutU32(root->ValueStart + 20, ls(fill.ProductVersion));

  std::vector<bool> found(fill.Values.size(), false);
  for (const Block& info : w.Children(*root)) {
    if (info.Key != u"StringFileInfo") continue;
    for (const Block& table : w.Children(info)) {
      for (const Block& value : w.Children(table)) {
        for (size_t i = 0; i < fill.Values.size(); ++i) {
          const VersionFill::Value& v = fill.Values[i];
          if (value.Key != v.Key) continue;
          const size_t room = (value.End - value.ValueStart) / 2;  // characters, the NUL included
          if (value.Type != kTextType || room == 0) {
            problems.push_back("the stub's version value " + Narrow(v.Key) + " holds no text");
            continue;
          }
          found[i] = true;
          std::u16string text = v.Text;
          if (text.size() > room - 1) {
            problems.push_back("the version value " + Narrow(v.Key) + " holds at most " + std::to_string(room - 1) +
                               " characters: '" + Narrow(text) + "' is cut");
            text.resize(room - 1);
          }
          for (size_t c = 0; c < room; ++c)
            w.PutU16(value.ValueStart + 2 * c, c < text.size() ? static_cast<uint16_t>(text[c]) : 0);
          w.PutU16(value.Start + 2, static_cast<uint16_t>(text.size() + 1));
        }
      }
    }
  }
  for (size_t i = 0; i < fill.Values.size(); ++i)
    if (!found[i]) problems.push_back("the stub's version resource has no value " + Narrow(fill.Values[i].Key));
  return VersionFillResult::kFilled;
}

bool ClearPeChecksum(std::span<uint8_t> image) {
  MemoryFile file(std::vector<uint8_t>(image.begin(), image.end()));
  if (!PeClearCheckSum(file)) return false;
  std::copy(file.Data().begin(), file.Data().end(), image.begin());
  return true;
}

}  // namespace ferry::tool

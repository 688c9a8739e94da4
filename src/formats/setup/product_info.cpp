#include "formats/setup/product_info.h"

#include "base/byte_reader.h"
#include "base/byte_writer.h"

namespace ferry {

namespace {

constexpr uint8_t kSideBySideFlag = 1;
constexpr uint8_t kReplaceAtRestartFlag = 2;
constexpr uint8_t kKnownFlags = kSideBySideFlag | kReplaceAtRestartFlag;

// The fields format 2 added; false when a value is not one this reader knows.
bool ReadIdentity(ByteReader& r, ProductInformation& info) {
  info.ProductId = r.LenString();
  const uint8_t scope = r.U8();
  const uint8_t flags = r.U8();
  if (scope > static_cast<uint8_t>(InstallScope::kEither) || (flags & ~kKnownFlags) != 0) return false;
  info.Scope = static_cast<InstallScope>(scope);
  info.SideBySide = (flags & kSideBySideFlag) != 0;
  info.ReplaceAtRestart = (flags & kReplaceAtRestartFlag) != 0;
  return true;
}

}  // namespace

std::optional<ProductInformation> ReadProductInfo(std::span<const uint8_t> data) {
  ByteReader r(data);
  const uint16_t format = r.U16();
  ProductInformation info;
  info.Version = r.LenString();
  info.Publisher = r.LenString();
  info.HelpUrl = r.LenString();
  if (format >= 2 && !ReadIdentity(r, info)) return std::nullopt;
  if (r.Failed() || format == 0) return std::nullopt;
  // Only a newer writer has more to say.
  if (format <= kProductInfoFormat && !r.AtEnd()) return std::nullopt;
  return info;
}

std::vector<uint8_t> WriteProductInfo(const ProductInformation& info) {
  ByteWriter w;
  // Format 1 when it says all: setups without identity settings keep their bytes.
  w.U16(info.HasIdentity() ? kProductInfoFormat : 1);
  w.LenString(info.Version);
  w.LenString(info.Publisher);
  w.LenString(info.HelpUrl);
  if (info.HasIdentity()) {
    w.LenString(info.ProductId);
    w.U8(static_cast<uint8_t>(info.Scope));
    w.U8((info.SideBySide ? kSideBySideFlag : 0) | (info.ReplaceAtRestart ? kReplaceAtRestartFlag : 0));
  }
  return w.Take();
}

}  // namespace ferry

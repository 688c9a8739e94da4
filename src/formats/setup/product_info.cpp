#include "formats/setup/product_info.h"

#include "base/byte_reader.h"
#include "base/byte_writer.h"

namespace ferry {

std::optional<ProductInformation> ReadProductInfo(std::span<const uint8_t> data) {
  ByteReader r(data);
  const uint16_t format = r.U16();
  ProductInformation info;
  info.Version = r.LenString();
  info.Publisher = r.LenString();
  info.HelpUrl = r.LenString();
  if (r.Failed() || format == 0) return std::nullopt;
  // Only a newer writer has more to say.
  if (format == kProductInfoFormat && !r.AtEnd()) return std::nullopt;
  return info;
}

std::vector<uint8_t> WriteProductInfo(const ProductInformation& info) {
  ByteWriter w;
  w.U16(kProductInfoFormat);
  w.LenString(info.Version);
  w.LenString(info.Publisher);
  w.LenString(info.HelpUrl);
  return w.Take();
}

}  // namespace ferry

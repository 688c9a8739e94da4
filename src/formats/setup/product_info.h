// The product information record ("ProductInfo" entry of group 0): what
// software inventories read from the uninstall registration. A setup
// without it registers none of these values; "SetupInfo" stays as it is,
// so setups made before the record existed read the same.
//
// Layout: u16 FormatVersion (1), then three counted strings: Version,
// Publisher, HelpUrl. A later version may append fields; a reader takes the
// three it knows and ignores what follows.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace ferry {

inline constexpr char kProductInfoEntry[] = "ProductInfo";
inline constexpr uint16_t kProductInfoFormat = 1;

struct ProductInformation {
  std::string Version;    // free text, e.g. "1.2" or "1.2.0.5 beta"
  std::string Publisher;
  std::string HelpUrl;

  bool Empty() const { return Version.empty() && Publisher.empty() && HelpUrl.empty(); }
  bool operator==(const ProductInformation&) const = default;
};

// nullopt when the record is damaged: format version 0, a field cut short,
// or bytes after the fields of a version-1 record. The entry is untrusted.
std::optional<ProductInformation> ReadProductInfo(std::span<const uint8_t> data);
// Raises SetupError for a field over 65,535 bytes.
std::vector<uint8_t> WriteProductInfo(const ProductInformation& info);

}  // namespace ferry

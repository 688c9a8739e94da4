// The product information record ("ProductInfo" entry of group 0): what
// software inventories read from the uninstall registration, and what the
// product is called there. A setup without it registers none of these
// values under its short title, for the whole machine; "SetupInfo" stays
// as it is, so setups made before the record existed read the same.
//
// Layout: u16 FormatVersion, then three counted strings: Version,
// Publisher, HelpUrl. Format 2 adds a counted string ProductId, a u8 Scope
// (0 machine, 1 user, 2 either) and a u8 of flags (bit 0: side by side;
// bit 1: the files-in-use box may leave held files to the next restart).
// A record whose added fields hold their defaults is written as format 1.
// A later version may append fields; a reader takes the ones it knows and
// ignores what follows.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace ferry {

inline constexpr char kProductInfoEntry[] = "ProductInfo";
inline constexpr uint16_t kProductInfoFormat = 2;

// Who a setup installs for: the machine (administrator rights, HKLM), the
// user running it (no elevation, HKCU), or either, picked when it runs.
enum class InstallScope : uint8_t { kMachine = 0, kUser = 1, kEither = 2 };

struct ProductInformation {
  std::string Version;    // free text, e.g. "1.2" or "1.2.0.5 beta"
  std::string Publisher;
  std::string HelpUrl;
  std::string ProductId;  // the registration's key name; empty: the short title
  InstallScope Scope = InstallScope::kMachine;
  bool SideBySide = false;  // each install folder registers under its own key
  bool ReplaceAtRestart = false;  // the files-in-use box offers the next restart

  bool Empty() const { return Version.empty() && Publisher.empty() && HelpUrl.empty() && !HasIdentity(); }
  // Anything beyond the three values of format 1.
  bool HasIdentity() const {
    return !ProductId.empty() || Scope != InstallScope::kMachine || SideBySide || ReplaceAtRestart;
  }
  bool operator==(const ProductInformation&) const = default;
};

// nullopt when the record is damaged: format version 0, a field cut short,
// a scope or flag it does not know, or bytes after the fields of a record
// of a format this reader knows. The entry is untrusted.
std::optional<ProductInformation> ReadProductInfo(std::span<const uint8_t> data);
// Raises SetupError for a field over 65,535 bytes.
std::vector<uint8_t> WriteProductInfo(const ProductInformation& info);

}  // namespace ferry

// The version information of a setup: fills the stub's version resource in
// place, so a setup's file properties name its product without a resource
// update (which only Windows can do, and which would move the bytes).
//
// The stub's resource (src/app/setup-stub.rc) holds string values as long as
// the longest text each can take. The resource is found by its
// "VS_VERSION_INFO" key and the VS_FIXEDFILEINFO signature 0xFEEF04BD that
// follows it; its blocks are walked within their stated lengths. Each value
// named in the fill is overwritten with the text, NUL padded to the value's
// room, and its stated length set to the text's; the numbers of the fixed
// part are set. Nothing else moves, so filling a filled stub again gives the
// same bytes for the same values.
//
// The image is untrusted (any file can be passed as a stub): every read is
// bounds checked and a damaged resource is left as it is.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ferry::tool {

using VersionNumbers = std::array<uint16_t, 4>;

// Up to four numbers separated by dots at the start of `text`, the missing
// ones 0: "1.2" is 1.2.0.0, "1.2.3.4 beta" 1.2.3.4. nullopt when the text
// does not start with a digit or a number passes 65,535.
std::optional<VersionNumbers> ParseVersionNumbers(std::string_view text);

struct VersionFill {
  VersionNumbers FileVersion{};
  VersionNumbers ProductVersion{};
  struct Value {
    std::u16string Key;  // "ProductName", ...
    std::u16string Text;
  };
  std::vector<Value> Values;
};

enum class VersionFillResult { kFilled, kNoResource, kAmbiguous };

// Fills the resource in `image`. Problems that do not stop the fill (a
// value the resource lacks, a text cut to the value's room) are appended
// to `problems`.
VersionFillResult FillVersionResource(std::span<uint8_t> image, const VersionFill& fill,
                                      std::vector<std::string>& problems);

// Sets the CheckSum of the program's optional header to 0 ("none"): the
// linker's sum no longer holds once the resource is filled and the archive
// appended, and a program loader does not ask for one. False, and nothing
// changed, when `image` is not a PE program.
bool ClearPeChecksum(std::span<uint8_t> image);

}  // namespace ferry::tool

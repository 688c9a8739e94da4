// The DLLs a Windows program names in its import and delay-import tables,
// read from the file's bytes, and the short list of DLLs our programs may
// name: the system's KnownDLLs, which always come from the system folder,
// and comctl32, which the manifest binds to its side-by-side copy.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ferry {

// The DLL names in table order, static imports first; nullopt when the
// bytes are no PE image or a table lies outside the file.
std::optional<std::vector<std::string>> ReadPeImports(std::span<const uint8_t> image);

// True for a DLL of the list above, in any case.
bool IsSystemOnlyDll(std::string_view name);

}  // namespace ferry

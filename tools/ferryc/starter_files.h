// The files of a starter setup, as `ferryc new` writes them: a script with
// one payload group, the wizard's and the uninstaller's pages, a language
// table for each starter language (starter_languages.h), a side picture and
// a sample payload file. Their texts follow the demo setup's.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ferry::tool {

struct StarterFile {
  std::string Path;  // relative, with '/'
  std::vector<uint8_t> Bytes;
};

std::vector<StarterFile> StarterFiles();

// A 24-bit bottom-up BMP of `width` x `height` pixels: a vertical gradient
// from `top` to `bottom` (0xRRGGBB).
std::vector<uint8_t> GradientBitmap(uint32_t width, uint32_t height, uint32_t top, uint32_t bottom);

}  // namespace ferry::tool

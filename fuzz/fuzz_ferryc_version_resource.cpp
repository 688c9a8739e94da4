// A stub's version resource and PE header from untrusted bytes: the edits
// stay inside the image, move nothing, and a second fill with the same
// values changes nothing.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "version_resource.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace ferry::tool;
  VersionFill fill;
  fill.FileVersion = fill.ProductVersion = {1, 2, 3, 4};
  fill.Values = {{u"ProductName", u"Tidewater Atlas"}, {u"ProductVersion", u"1.2.3.4"}, {u"CompanyName", u""}};
  std::vector<uint8_t> image(data, data + size);
  ClearPeChecksum(image);
  if (image.size() != size) std::abort();
  image.assign(data, data + size);
  std::vector<std::string> problems;
  if (FillVersionResource(image, fill, problems) != VersionFillResult::kFilled) {
    if (image != std::vector<uint8_t>(data, data + size)) std::abort();
    return 0;
  }
  std::vector<uint8_t> again = image;
  FillVersionResource(again, fill, problems);
  if (again != image) std::abort();
  return 0;
}

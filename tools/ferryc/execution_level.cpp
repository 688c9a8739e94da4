#include "execution_level.h"

#include <algorithm>
#include <string_view>
#include <vector>

namespace ferry::tool {

namespace {

constexpr std::string_view kAdministrator = "level=\"requireAdministrator\"";
constexpr std::string_view kAsInvoker = "level=\"asInvoker\"";

std::vector<size_t> Occurrences(std::span<const uint8_t> image, std::string_view text) {
  std::vector<size_t> found;
  auto at = image.begin();
  while ((at = std::search(at, image.end(), text.begin(), text.end())) != image.end()) {
    found.push_back(static_cast<size_t>(at - image.begin()));
    ++at;
  }
  return found;
}

}  // namespace

ExecutionLevelResult SetExecutionLevelAsInvoker(std::span<uint8_t> image) {
  const std::vector<size_t> administrator = Occurrences(image, kAdministrator);
  const std::vector<size_t> invoker = Occurrences(image, kAsInvoker);
  if (administrator.size() + invoker.size() > 1) return ExecutionLevelResult::kAmbiguous;
  if (!invoker.empty()) return ExecutionLevelResult::kSet;
  if (administrator.empty()) return ExecutionLevelResult::kNoManifest;
  uint8_t* at = image.data() + administrator.front();
  std::fill(at, at + kAdministrator.size(), static_cast<uint8_t>(' '));
  std::copy(kAsInvoker.begin(), kAsInvoker.end(), at);
  return ExecutionLevelResult::kSet;
}

}  // namespace ferry::tool

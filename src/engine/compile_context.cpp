#include "engine/compile_context.h"

#include "base/text.h"

namespace ferry {

void CompileContext::AddLabel(std::string_view name, int lineIndex) {
  labels_.emplace(AsciiLowerCopy(name), lineIndex);
}

int CompileContext::FindLabel(std::string_view name) const {
  auto it = labels_.find(AsciiLowerCopy(name));
  return it == labels_.end() ? -1 : it->second;
}

}  // namespace ferry

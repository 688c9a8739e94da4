#include "engine/command_list.h"

#include "base/text.h"

namespace ferry {

int CommandList::Add(std::unique_ptr<CommandClass> command) {
  Commands.push_back(std::move(command));
  return static_cast<int>(Commands.size());
}

CommandClass* CommandList::Find(int32_t commandNo) const {
  if (commandNo < 1 || commandNo > Count()) return nullptr;
  return Commands[static_cast<size_t>(commandNo) - 1].get();
}

int CommandList::FindKeyword(std::string_view keyword) const {
  for (size_t i = 0; i < Commands.size(); ++i)
    if (EqualsNoCase(Commands[i]->Keyword, keyword)) return static_cast<int>(i) + 1;
  return -1;
}

std::vector<uint8_t> BuildGroupKinds(const CompLineList& lines, const CommandList& list) {
  std::vector<uint8_t> kinds{0};
  for (const CompLine& line : lines.Lines) {
    const CommandClass* command = list.Find(line.CommandNo);
    if (!command) continue;
    uint8_t kind = command->GroupKind();
    if (kind == 1) kinds.push_back(0);
    if (kind == 2) kinds.push_back(1);
  }
  return kinds;
}

}  // namespace ferry

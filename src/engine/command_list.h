// The command registry, filled from the one table of the commands.
//
// The numbering is part of the stream format: ferryc and the stub both call
// RegisterCommands, whose order (command_table.cpp) gives each command its
// number. Entry n - 1 of Commands is command number n.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "engine/command_class.h"
#include "formats/setup/comp_lines.h"

namespace ferry {

class CommandList {
 public:
  std::vector<std::unique_ptr<CommandClass>> Commands;

  // Appends and returns the new 1-based number.
  int Add(std::unique_ptr<CommandClass> command);
  int Count() const { return static_cast<int>(Commands.size()); }
  // Command number n, or nullptr when n is not a registered number (0,
  // negative, or above Count: such lines do nothing).
  CommandClass* Find(int32_t commandNo) const;
  // Number of the command with this keyword (ASCII case ignored), or -1.
  int FindKeyword(std::string_view keyword) const;
};

// Adds one object for each command of the table, in table order.
void RegisterCommands(CommandList& list);

// Number of commands RegisterCommands adds: the table's length.
extern const int kCommandCount;

// Payload kinds by group number: entry 0 is 0; each line with CommandNo above
// 0 whose command has GroupKind 1 appends 0, GroupKind 2 appends 1, so the
// n-th payload line owns group n.
std::vector<uint8_t> BuildGroupKinds(const CompLineList& lines, const CommandList& list);

}  // namespace ferry

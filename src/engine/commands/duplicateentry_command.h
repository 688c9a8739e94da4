// "duplicateentry" (command 28): duplicate an entry inside a product package archive.
#pragma once

#include "engine/command_class.h"

namespace ferry {

class TDuplicateEntryCommand : public TCommandClass {
 public:
  TDuplicateEntryCommand();
#ifdef _WIN32
  void SFXProcess(TSetupContext& ctx, int lineIndex) override;
#endif
};

}  // namespace ferry

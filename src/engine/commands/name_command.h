// "name" (command 2): setting: SetupTitle and ShortTitle.
#pragma once

#include "engine/command_class.h"

namespace ferry {

class TNameCommand : public TCommandClass {
 public:
  TNameCommand();
  void CompileProcess(TCompileContext& ctx, int lineIndex) override;
};

}  // namespace ferry

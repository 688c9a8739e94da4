// "shortname" (command 21): setting: ShortTitle.
#pragma once

#include "engine/command_class.h"

namespace ferry {

class TShortNameCommand : public TCommandClass {
 public:
  TShortNameCommand();
  void CompileProcess(TCompileContext& ctx, int lineIndex) override;
};

}  // namespace ferry

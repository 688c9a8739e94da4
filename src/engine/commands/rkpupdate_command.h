// "rkpupdate" (command 11): update a product package archive from a payload group.
#pragma once

#include "engine/command_class.h"

namespace ferry {

class TRKPUpdateCommand : public TCommandClass {
 public:
  TRKPUpdateCommand();
  // Stores the password (parameter 2) enciphered with kCommandParamKey.
  void CompileProcess(TCompileContext& ctx, int lineIndex) override;
#ifdef _WIN32
  void SFXProcess(TSetupContext& ctx, int lineIndex) override;
#endif
};

}  // namespace ferry

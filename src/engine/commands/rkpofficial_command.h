// "rkpofficial" (command 27): package archive operation.
#pragma once

#include "engine/command_class.h"

namespace ferry {

class TRKPOfficialCommand : public TCommandClass {
 public:
  TRKPOfficialCommand();
  // Stores the password (parameter 2) enciphered with kCommandParamKey.
  void CompileProcess(TCompileContext& ctx, int lineIndex) override;
#ifdef _WIN32
  void SFXProcess(TSetupContext& ctx, int lineIndex) override;
#endif
};

}  // namespace ferry

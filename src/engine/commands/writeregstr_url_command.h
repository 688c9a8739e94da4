// "writeregstr_url" (command 29): register a URL protocol.
#pragma once

#include "engine/command_class.h"

namespace ferry {

class TWriteRegStr_URLCommand : public TCommandClass {
 public:
  TWriteRegStr_URLCommand();
#ifdef _WIN32
  void SFXProcess(TSetupContext& ctx, int lineIndex) override;
#endif
};

}  // namespace ferry

// "writeregstr_url" (command 29): register a URL protocol.
#pragma once

#include "core/command_class.h"

namespace ferry {

class TWriteRegStr_URLCommand : public TCommandClass {
 public:
  TWriteRegStr_URLCommand();
};

}  // namespace ferry

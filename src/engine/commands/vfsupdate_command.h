// "vfsupdate" (command 30): update a virtual-file-system archive from a payload group.
#pragma once

#include <memory>

#include "engine/command_class.h"

namespace ferry {

class TVFSUpdateCommand : public TCommandClass {
 public:
  TVFSUpdateCommand();
#ifdef _WIN32
  void SFXProcess(TSetupContext& ctx, int lineIndex) override;
  // An archive still open (its later "vfsupdate" line was never run) is
  // flushed: what was written stays, with its digest and hash table.
  void EndOfRun(TSetupContext& ctx) override;

 private:
  // The archive a line may leave open for the next one, for the whole run.
  struct Runtime;
  std::shared_ptr<Runtime> runtime_;
#endif
};

}  // namespace ferry

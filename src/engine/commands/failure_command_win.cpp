#include "engine/commands/failure_command.h"
#include "engine/setup_context.h"

namespace ferry {

namespace {
constexpr int kFailureText = 23;
}

void TFailureCommand::SFXProcess(TSetupContext& ctx, int) {
  ctx.Progress.SetMessageText(ctx.Languages.GetText(kFailureText), true);
  ctx.SetupAborted.store(1);
}

}  // namespace ferry

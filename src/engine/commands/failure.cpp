// "failure": report failure and stop the run.
#include "engine/command_class.h"
#include "engine/command_run.h"
#include "engine/setup_context.h"
#include "formats/languages/text_ids.h"

namespace ferry {

namespace {


void Run(SetupContext& ctx, const CommandRun&, CompLine&, int) {
  ctx.Progress.SetMessageText(ctx.Languages.GetText(kTextSetupFailed), true);
  ctx.Record.Stop("");
}

}  // namespace

extern const CommandDescriptor kFailureCommand;
const CommandDescriptor kFailureCommand{.Keyword = "failure", .IsSetting = false, .GroupKind = 0, .MinParams = 0,
                                        .MaxParams = 0, .Run = Run};

}  // namespace ferry

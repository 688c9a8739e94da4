// "execute FILE [PARAMETERS]": run a program and wait for it. Its exit code
// is written to the log and does not matter otherwise ("executecheck" looks
// at it); a program that cannot be started is a step not done.
#include "engine/command_class.h"
#include "engine/command_run.h"
#include "engine/commands/command_runtime.h"
#include "engine/setup_context.h"

namespace ferry {

namespace {

void Run(SetupContext& ctx, const CommandRun& run, CompLine& line, int) {
  if (!run.System) return;
  std::string why;
  const std::optional<uint32_t> code = RunLineProgram(ctx, run, line, why);
  if (!why.empty()) ctx.Record.NotDone("execute: " + why);
  if (code) ctx.Progress.Note("execute: " + line.Param(1) + " ended with exit code " + std::to_string(*code));
}

}  // namespace

extern const CommandDescriptor kExecuteCommand;
const CommandDescriptor kExecuteCommand{.Keyword = "execute", .IsSetting = false, .GroupKind = 0, .MinParams = 1,
                                        .MaxParams = 2, .PathParams = ParamBit(1), .Run = Run};

}  // namespace ferry

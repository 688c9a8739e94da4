#include <windows.h>

#include "engine/commands/command_runtime_win.h"
#include "engine/commands/execute_command.h"
#include "engine/setup_context.h"
#include "platform/shell.h"

namespace ferry {

void TExecuteCommand::SFXProcess(TSetupContext& ctx, int lineIndex) {
  TCompLine* line = CommandLine(ctx, lineIndex);
  if (!line) return;
  line->SetParam(1, ctx.ExpandPathVars(line->Param(1)));
  ExecuteArgs args;
  args.File = line->Param(1);
  if (line->Params.size() >= 2) args.Parameters = line->Param(2);  // passed as written
  args.Show = SW_SHOWNORMAL;
  ProcessHandle process;
  if (!ShellExecuteWithProcess(args, &process)) {
    ctx.Progress.Problem("execute: " + args.File + " could not be started");
    return;
  }
  if (!process.IsValid()) return;
  // The exit code does not matter; a failure elsewhere or the end of the
  // program ends the wait.
  while (!process.Wait(1)) {
    if (ctx.SetupAborted.load() != 0 || ctx.StopRequested.load() != 0) break;
  }
}

}  // namespace ferry

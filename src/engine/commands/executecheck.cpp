// "executecheck FILE [PARAMETERS] [CODES]": run a program, wait for it, and
// fail the run unless its exit code is one of CODES (numbers separated by
// commas or spaces; default 0). 3010 and 1641, the codes of a program that
// asks for a restart, count as done: the setup then ends with 3010.
#include <cstdlib>
#include <string_view>
#include <vector>

#include "engine/command_class.h"
#include "engine/command_run.h"
#include "engine/commands/command_runtime.h"
#include "engine/setup_context.h"

namespace ferry {

namespace {

constexpr uint32_t kRestartRequired = 3010;
constexpr uint32_t kRestartInitiated = 1641;

// The codes a line accepts; a word that is no number accepts nothing.
std::vector<uint32_t> AcceptedCodes(std::string_view text) {
  std::vector<uint32_t> codes;
  size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && (text[i] == ',' || text[i] == ' ')) ++i;
    size_t end = i;
    while (end < text.size() && text[end] != ',' && text[end] != ' ') ++end;
    if (end > i) {
      const std::string word(text.substr(i, end - i));
      char* rest = nullptr;
      const unsigned long value = std::strtoul(word.c_str(), &rest, 10);
      if (rest && *rest == '\0') codes.push_back(static_cast<uint32_t>(value));
    }
    i = end;
  }
  if (codes.empty() && text.find_first_not_of(", ") == std::string_view::npos) codes.push_back(0);
  return codes;
}

bool Accepted(const std::vector<uint32_t>& codes, uint32_t code) {
  for (uint32_t c : codes)
    if (c == code) return true;
  return false;
}

void Run(SetupContext& ctx, const CommandRun& run, CompLine& line, int) {
  if (!run.System) return;
  std::string why;
  const std::optional<uint32_t> code = RunLineProgram(ctx, run, line, why);
  const std::string& file = line.Param(1);
  if (!why.empty()) return ctx.Record.Stop("executecheck: " + why);
  if (!code) return;  // the run stops anyway
  ctx.Progress.Note("executecheck: " + file + " ended with exit code " + std::to_string(*code));
  if (*code == kRestartRequired || *code == kRestartInitiated)
    return ctx.Record.RestartNeeded("executecheck: " + file + " asks for a restart (exit code " +
                                    std::to_string(*code) + ")");
  const std::string codes = line.Params.size() >= 3 ? line.Param(3) : std::string();
  if (!Accepted(AcceptedCodes(codes), *code))
    ctx.Record.Stop("executecheck: " + file + " ended with exit code " + std::to_string(*code) + ", not " +
                    (codes.empty() ? std::string("0") : codes));
}

}  // namespace

extern const CommandDescriptor kExecuteCheckCommand;
const CommandDescriptor kExecuteCheckCommand{.Keyword = "executecheck", .IsSetting = false, .GroupKind = 0,
                                             .MinParams = 1, .MaxParams = 3, .PathParams = ParamBit(1), .Run = Run};

}  // namespace ferry

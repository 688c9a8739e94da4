// The script compiler on a person's text: every malformed line becomes a
// message with a line number, never a crash; a script that compiles has one
// stream line per script line.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "script_compiler.h"
#include "script_lexer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace ferry::tool;
  std::string text(reinterpret_cast<const char*>(data), size);
  // A folder with nothing in it: every file the script names is missing.
  static const std::filesystem::path base = [] {
    auto p = std::filesystem::temp_directory_path() / "ferryc-fuzz-empty";
    std::filesystem::create_directories(p);
    return p;
  }();
  CompileResult r = CompileScriptText(text, "fuzz.fss", base, {base / "languages"});
  size_t lines = SplitScriptLines(text).size();
  for (const Diagnostic& d : r.Diagnostics) {
    if (d.Message.empty()) std::abort();
    if (d.Line < 0 || static_cast<size_t>(d.Line) > lines + 1) std::abort();
  }
  if (r.Ok && r.Setup.Lines.Count() != lines) std::abort();
  // Parameters written back read back unchanged.
  for (std::string_view line : SplitScriptLines(text)) {
    ScriptLine parsed;
    std::string error;
    if (!ParseScriptLine(line, parsed, error) || parsed.Kind != ScriptLineKind::kCommand) continue;
    std::string again = parsed.Word;
    for (const std::string& p : parsed.Params) again += " " + QuoteParam(p);
    ScriptLine reparsed;
    if (!ParseScriptLine(again, reparsed, error) || reparsed.Params != parsed.Params) std::abort();
  }
  return 0;
}

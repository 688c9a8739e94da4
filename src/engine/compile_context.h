// What a command's compile-time step works on: the setup information record
// being built, the stream being built, the labels of the script, the payload
// group counter, and the compiler's services (language files, errors).
//
// The compiler's order: fill Lines (one line per script line, CommandNo from
// CommandList::FindKeyword, LineNo = the index, parameters as written; label
// and blank lines inert), register every label with AddLabel, then call
// CompileProcess of each line's command in stream order.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "formats/setup/comp_lines.h"
#include "formats/setup/setup_info.h"

namespace ferry {

struct CompileError {
  int LineIndex;  // index into Lines; the compiler maps it to its script line
  std::string Message;
};

class CompileContext {
 public:
  CompileContext(SetupInfoRecord& info, CompLineList& lines) : Info(info), Lines(lines) {}

  SetupInfoRecord& Info;
  CompLineList& Lines;

  // Called by "language" and "uninstalllanguage": add the language file of
  // that name as the archive entry entryName ("LANGUAGE-" + name or
  // "UNINSTALL_LANGUAGE-" + name, group 0). Unset: nothing is added.
  std::function<void(const std::string& entryName, const std::string& languageName)> AddLanguageFile;

  // Labels compare without regard to ASCII case; the first of equal names wins.
  void AddLabel(std::string_view name, int lineIndex);
  int FindLabel(std::string_view name) const;  // -1 when unknown

  // Next payload group number; the first group-consuming line gets 1.
  int NextGroup = 1;

  std::vector<CompileError> Errors;
  void Error(int lineIndex, std::string message) { Errors.push_back({lineIndex, std::move(message)}); }

  CompLine& Line(int lineIndex) { return Lines.Lines.at(static_cast<size_t>(lineIndex)); }

 private:
  std::unordered_map<std::string, int> labels_;  // ASCII-lower-cased name -> line index
};

}  // namespace ferry

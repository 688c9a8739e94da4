#include "script_compiler.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <optional>
#include <set>
#include <system_error>
#include <unordered_map>

#include "base/random_access_file.h"
#include "base/setup_error.h"
#include "base/text.h"
#include "base/text_helpers.h"
#include "engine/command_list.h"
#include "engine/compile_context.h"
#include "engine/path_safety.h"
#include "engine/product_identity.h"
#include "formats/pak/pak_codec.h"
#include "host_paths.h"
#include "payload_folder.h"
#include "script_checks.h"
#include "script_directives.h"
#include "script_lexer.h"
#include "sign_hook.h"
#include "formats/languages/languages.h"
#include "version_resource.h"
#include "formats/layout/layout_syntax.h"
#include "formats/layout/page_list.h"

namespace fs = std::filesystem;

namespace ferry::tool {

std::string FormatDiagnostic(const Diagnostic& d) {
  std::string out = d.File;
  if (d.Line > 0) out += ":" + std::to_string(d.Line);
  out += d.Warning ? ": warning: " : ": error: ";
  out += d.Message;
  return out;
}

std::vector<uint8_t> NormaliseTextLineEnds(std::vector<uint8_t> data) {
  std::vector<uint8_t> out;
  out.reserve(data.size() + data.size() / 16);
  for (size_t i = 0; i < data.size(); ++i) {
    if (data[i] == '\n' && (i == 0 || data[i - 1] != '\r')) out.push_back('\r');
    out.push_back(data[i]);
  }
  return out;
}

std::vector<uint8_t> NormaliseUtf16LineEnds(std::vector<uint8_t> data) {
  if (data.size() < 2) return data;
  std::vector<uint8_t> out(data.begin(), data.begin() + 2);
  out.reserve(data.size() + data.size() / 16);
  auto unit = [&](size_t i) { return static_cast<uint16_t>(data[i] | (data[i + 1] << 8)); };
  size_t i = 2;
  for (; i + 1 < data.size(); i += 2) {
    if (unit(i) == u'\n' && (i == 2 || unit(i - 2) != u'\r')) {
      out.push_back('\r');
      out.push_back(0);
    }
    out.push_back(data[i]);
    out.push_back(data[i + 1]);
  }
  if (i < data.size()) out.push_back(data[i]);  // an odd last byte stays as it was
  return out;
}

namespace {

// The product's identity settings: ferryc's own lines, like "compression".
bool IsIdentityKeyword(std::string_view word) {
  return EqualsNoCase(word, "productid") || EqualsNoCase(word, "scope") || EqualsNoCase(word, "sidebyside") ||
         EqualsNoCase(word, "replaceatrestart");
}

class Compiler {
 public:
  Compiler(std::string displayName, fs::path baseDir, std::vector<fs::path> languageDirs)
      : display_(std::move(displayName)), base_(std::move(baseDir)), language_dirs_(std::move(languageDirs)) {}

  CompileResult Run(std::string_view text);

 private:
  void Error(int line, std::string msg, std::string file = {}) {
    result_.Diagnostics.push_back({file.empty() ? display_ : file, line, std::move(msg), false});
  }
  void Warn(int line, std::string msg) { result_.Diagnostics.push_back({display_, line, std::move(msg), true}); }
  bool HasErrors() const {
    return std::any_of(result_.Diagnostics.begin(), result_.Diagnostics.end(),
                       [](const Diagnostic& d) { return !d.Warning; });
  }

  void FillLines(const std::vector<ScriptLine>& parsed);
  void CompileCommands();
  void AddLanguage(int line, const std::string& entryName, const std::string& languageName);
  void AddDirective(const ScriptLine& line);
  void SetCompression(const ScriptLine& line);
  void SetIdentity(const ScriptLine& line);
  void SetSignCommand(const ScriptLine& line);
  void SetProductValue(const ScriptLine& line, const ProductDirective& form);
  void AddPayloadGroups();
  void CheckReferences();
  void CheckParameters(const CommandDescriptor& descriptor, const ScriptLine& line);
  void CheckScopeOf(const CommandDescriptor& descriptor, const std::string& param, uint16_t bit);
  void CheckLanguageReferences();
  bool AddGroup0(ArchiveSource entry);
  std::optional<std::vector<uint8_t>> ReadSource(int line, const std::string& scriptPath, fs::path* found);

  std::string display_;
  int current_line_ = 0;  // the script line CheckParameters looks at
  bool scope_stated_ = false;  // a "scope" line: without one, no scope warnings (as before it existed)
  fs::path base_;
  std::vector<fs::path> language_dirs_;
  CompileResult result_;
  CommandList commands_;
  std::vector<ScriptLine> parsed_;
  std::vector<ArchiveSource> languages_;
  std::vector<ArchiveSource> directives_;
  std::vector<ArchiveSource> payload_;
  std::map<std::string, int> group0_names_;  // lower-cased name -> script line
  struct GroupLine {
    int Line;
    int Group;
    std::string Folder;
    std::optional<std::string> InstallFolder;  // "file" lines: the subfolder, "" for the install folder
  };
  std::vector<GroupLine> group_lines_;
  struct CarriedLayout {
    std::string Name;
    int Line;
  };
  std::vector<CarriedLayout> layouts_;  // for the page lists' check
};

CompileResult Compiler::Run(std::string_view text) {
  std::vector<std::string_view> lines = SplitScriptLines(text);
  if (lines.size() > kMaxScriptLines) {
    Error(static_cast<int>(kMaxScriptLines) + 1,
          "the script has " + std::to_string(lines.size()) +
              " lines; a setup's command stream holds at most 65,535");
    return std::move(result_);
  }
  parsed_.resize(lines.size());
  for (size_t i = 0; i < lines.size(); ++i) {
    std::string error;
    parsed_[i].Number = static_cast<int>(i) + 1;
    if (!ParseScriptLine(lines[i], parsed_[i], error)) {
      Error(parsed_[i].Number, error);
      parsed_[i].Kind = ScriptLineKind::kBlank;
    }
    parsed_[i].Number = static_cast<int>(i) + 1;
  }
  RegisterCommands(commands_);
  result_.Setup.Info = CompilerDefaultSetupInfo();
  result_.Setup.ScriptDir = base_;
  FillLines(parsed_);
  CompileCommands();
  for (const ScriptLine& l : parsed_)
    if (l.Kind == ScriptLineKind::kDirective) AddDirective(l);
  AddPayloadGroups();
  CheckReferences();
  CheckLanguageReferences();

  if (result_.Setup.Info.SetupExeName.empty())
    Error(0, "no \"outfile\" line: a setup checks its own file name against that name at start-up");
  if (result_.Setup.Info.InstallDir.empty() && result_.Setup.Info.InstallDirRegKey.ValueName.empty())
    Warn(0, "no \"installdir\" line: the setup stops at start-up unless the registry names the folder");

  // The setup's own records close group 0.
  std::vector<ArchiveSource>& entries = result_.Setup.Entries;
  for (auto& e : languages_) entries.push_back(std::move(e));
  for (auto& e : directives_) entries.push_back(std::move(e));
  try {
    SetupInfoFile file;
    file.Info() = result_.Setup.Info;
    entries.push_back({"SetupInfo", 0, true, file.WriteToBuffer(), {}, 0, 0, {}, {}, false});
    entries.push_back({"CompiledLines", 0, true, result_.Setup.Lines.SaveToBuffer(), {}, 0, 0, {}, {}, false});
    // Without product settings the archive is what it always was.
    if (!result_.Setup.Product.Empty())
      entries.push_back({kProductInfoEntry, 0, true, WriteProductInfo(result_.Setup.Product), {}, 0, 0, {}, {}, false});
  } catch (const SetupError& e) {
    Error(0, e.what());
  }
  for (auto& e : payload_) entries.push_back(std::move(e));
  if (entries.size() > kMaxEntries)
    Error(0, "the setup would hold " + std::to_string(entries.size()) +
                 " archive entries; an archive holds at most 65,535");
  result_.Ok = !HasErrors();
  return std::move(result_);
}

void Compiler::FillLines(const std::vector<ScriptLine>& parsed) {
  CompLineList& cl = result_.Setup.Lines;
  cl.Lines.assign(parsed.size(), CompLine{});
  std::unordered_map<std::string, int> labelLines;
  for (size_t i = 0; i < parsed.size(); ++i) {
    const ScriptLine& l = parsed[i];
    CompLine& out = cl.Lines[i];
    out.MakeInert();
    if (l.Kind == ScriptLineKind::kLabel) {
      auto [pos, added] = labelLines.emplace(AsciiLowerCopy(l.Word), l.Number);
      if (!added)
        Error(l.Number, "duplicate label - " + l.Word + " (first defined on line " + std::to_string(pos->second) + ")");
    }
    if (l.Kind != ScriptLineKind::kCommand) continue;
    if (EqualsNoCase(l.Word, "compression")) {
      SetCompression(l);  // ferryc's own: the line stays empty in the stream
      continue;
    }
    if (IsIdentityKeyword(l.Word)) {
      SetIdentity(l);  // carried by the product information; empty in the stream
      continue;
    }
    if (EqualsNoCase(l.Word, "signcommand")) {
      SetSignCommand(l);  // ferryc's own too
      continue;
    }
    int no = commands_.FindKeyword(l.Word);
    if (no < 0) {
      Error(l.Number, "unknown keyword '" + l.Word + "'");
      continue;
    }
    bool fits = true;
    for (size_t p = 0; p < l.Params.size(); ++p) {
      if (l.Params[p].size() > kMaxStringLength) {
        Error(l.Number, "parameter " + std::to_string(p + 1) + " is " + std::to_string(l.Params[p].size()) +
                            " bytes long; the command stream holds at most 65,535");
        fits = false;
      }
    }
    if (!fits) continue;
    out.CommandNo = no;
    out.LineNo = static_cast<int32_t>(i);
    out.Params = l.Params;
    out.ParamCount = static_cast<int32_t>(l.Params.size());
  }
}

// "compression zlib" or "compression zstd [LEVEL]"; the last line wins.
void Compiler::SetCompression(const ScriptLine& line) {
  const std::vector<std::string>& p = line.Params;
  const bool zstd = !p.empty() && EqualsNoCase(p[0], "zstd");
  if (p.empty() || (!zstd && !EqualsNoCase(p[0], "zlib")) || p.size() > (zstd ? 2u : 1u)) {
    Error(line.Number, "compression takes \"zlib\" or \"zstd [LEVEL]\"");
    return;
  }
  int level = kDefaultZstdLevel;
  if (zstd && p.size() == 2) {
    char* end = nullptr;
    long value = std::strtol(p[1].c_str(), &end, 10);
    if (p[1].empty() || *end != '\0' || value < 1 || value > kZstdMaxLevel) {
      Error(line.Number, "zstd level '" + p[1] + "' is not a number from 1 to " + std::to_string(kZstdMaxLevel));
      return;
    }
    level = static_cast<int>(value);
  }
  result_.Setup.ZstdLevel = zstd ? level : 0;
}

// "productid ID", "scope user|machine|either", "sidebyside",
// "replaceatrestart"; the last line of a kind wins, like the settings.
void Compiler::SetIdentity(const ScriptLine& line) {
  ProductInformation& product = result_.Setup.Product;
  const std::vector<std::string>& p = line.Params;
  if (EqualsNoCase(line.Word, "sidebyside")) {
    if (!p.empty()) Error(line.Number, "'sidebyside' takes nothing");
    else product.SideBySide = true;
    return;
  }
  if (EqualsNoCase(line.Word, "replaceatrestart")) {
    if (!p.empty()) Error(line.Number, "'replaceatrestart' takes nothing");
    else product.ReplaceAtRestart = true;
    return;
  }
  if (EqualsNoCase(line.Word, "scope")) {
    std::optional<InstallScope> scope = p.size() == 1 ? ParseInstallScope(p[0]) : std::nullopt;
    if (!scope) Error(line.Number, "'scope' takes \"user\", \"machine\" or \"either\"");
    else product.Scope = *scope;
    scope_stated_ = scope.has_value();
    return;
  }
  std::string why = p.size() == 1 ? ProductIdProblem(p[0]) : "it takes one name";
  if (!why.empty()) Error(line.Number, "'productid': " + why);
  else product.ProductId = p[0];
}

// "signcommand COMMAND": the last line wins.
void Compiler::SetSignCommand(const ScriptLine& line) {
  if (line.Params.size() != 1 || line.Params[0].find(kSignFilePlaceholder) == std::string::npos) {
    Error(line.Number, "signcommand takes one command that names the file to sign as {file}");
    return;
  }
  result_.Setup.SignCommand = line.Params[0];
  result_.Setup.SignLine = line.Number;
}

void Compiler::CompileCommands() {
  CompLineList& cl = result_.Setup.Lines;
  CompileContext ctx(result_.Setup.Info, cl);
  for (size_t i = 0; i < parsed_.size(); ++i)
    if (parsed_[i].Kind == ScriptLineKind::kLabel) ctx.AddLabel(parsed_[i].Word, static_cast<int>(i));
  int current = 0;
  ctx.AddLanguageFile = [&](const std::string& entryName, const std::string& languageName) {
    AddLanguage(current + 1, entryName, languageName);
  };
  for (size_t i = 0; i < cl.Lines.size(); ++i) {
    CommandClass* cmd = commands_.Find(cl.Lines[i].CommandNo);
    if (!cmd) continue;
    current = static_cast<int>(i);
    CheckParameters(cmd->Descriptor(), parsed_[i]);
    size_t errorsBefore = ctx.Errors.size();
    cmd->CompileProcess(ctx, current);
    if (ctx.Errors.size() != errorsBefore) continue;
    const CompLine& line = cl.Lines[i];
    if (cmd->GroupKind() != 0) {
      std::optional<std::string> installs;
      if (EqualsNoCase(cmd->Descriptor().Keyword, "file"))
        installs = line.Params.size() >= 3 ? IncludeTrailingBackslash(line.Param(2)) : std::string();
      if (installs && installs->find_first_not_of(".\\/") == std::string::npos) installs = std::string();
      group_lines_.push_back({current + 1, std::atoi(line.Params.back().c_str()), line.Param(1), installs});
    }
    // "file FOLDER SUBFOLDER ... GROUP": the setup creates SUBFOLDER below the
    // install folder. "." (or ".\") is the install folder itself, as the
    // setup reads it.
    for (size_t p = 1; p < line.Params.size() && p < 16; ++p) {
      if (!(cmd->Descriptor().SubfolderParams & ParamBit(static_cast<int>(p)))) continue;
      const std::string& folder = line.Params[p - 1];
      const bool installFolderItself = !folder.empty() && folder.find_first_not_of(".\\/") == std::string::npos &&
                                       folder.front() == '.' && folder.find("..") == std::string::npos;
      if (folder.empty() || installFolderItself) continue;
      std::string why = WindowsNameProblem(folder);
      if (!why.empty()) Error(current + 1, "target folder '" + folder + "' cannot be created on Windows: " + why);
    }
    // Some commands jump at run time only to lines above 0.
    if (cmd->Descriptor().NoJumpToFirstLine)
      for (int p = 1; p < 16; ++p)
        if ((cmd->Descriptor().JumpParams & ParamBit(p)) && line.Param(p) == "0")
          Error(current + 1, "\"" + cmd->Keyword + "\" cannot jump to a label on the script's first line - " +
                                 parsed_[i].Params[static_cast<size_t>(p - 1)]);
  }
  for (const CompileError& e : ctx.Errors) Error(e.LineIndex + 1, e.Message);
  if (ctx.NextGroup - 1 > 0xFFFF)
    Error(0, "the script has " + std::to_string(ctx.NextGroup - 1) + " payload groups; an archive holds at most 65,535");
}

void Compiler::AddLanguage(int line, const std::string& entryName, const std::string& languageName) {
  if (!IsContainedName(languageName) || languageName.find_first_of("\\/") != std::string::npos) {
    Error(line, "invalid language name '" + languageName + "' (a file name without folders)");
    return;
  }
  std::string fileName = languageName + ".wri";
  std::optional<fs::path> found;
  for (const fs::path& dir : language_dirs_) {
    found = ResolveScriptPath(dir, fileName);
    if (found) break;
  }
  if (!found) {
    std::string where;
    for (const fs::path& dir : language_dirs_) where += (where.empty() ? "" : ", ") + dir.string();
    Error(line, "language file '" + fileName + "' not found (looked in " + where + ")");
    return;
  }
  std::vector<uint8_t> data;
  try {
    data = ReadFileBytes(*found);
  } catch (const SetupError& e) {
    Error(line, "cannot read language file '" + found->string() + "': " + e.what());
    return;
  }
  if (data.size() < 2 || data[0] != 0xFF || data[1] != 0xFE) {
    Error(line, "language file '" + found->string() + "' is not UTF-16 with a byte-order mark");
    return;
  }
  data = NormaliseUtf16LineEnds(std::move(data));
  // The setup stops at start-up on a table it cannot read: check it here.
  try {
    LanguageTexts probe;
    probe.LoadFromBuffer(data.data(), data.size());
  } catch (const std::exception& e) {
    Error(line, "language file '" + found->string() + "': " + e.what());
    return;
  }
  ArchiveSource entry{entryName, 0, true, std::move(data), *found, 0, line, {}, {}, false};
  if (!AddGroup0(entry)) return;
  languages_.push_back(std::move(entry));
}

bool Compiler::AddGroup0(ArchiveSource entry) {
  if (entry.Name.empty() || entry.Name.size() > kMaxStringLength) {
    Error(entry.ScriptLine, "entry name must hold 1 to 65,535 characters");
    return false;
  }
  auto [pos, added] = group0_names_.emplace(AsciiLowerCopy(entry.Name), entry.ScriptLine);
  if (!added) {
    Error(entry.ScriptLine, "the setup already carries an entry '" + entry.Name + "' (from line " +
                                std::to_string(pos->second) + ")");
    return false;
  }
  return true;
}

std::optional<std::vector<uint8_t>> Compiler::ReadSource(int line, const std::string& scriptPath, fs::path* found) {
  std::optional<fs::path> path = ResolveScriptPath(base_, scriptPath);
  if (!path) {
    Error(line, "file not found - " + scriptPath);
    return std::nullopt;
  }
  std::error_code ec;
  if (fs::is_directory(*path, ec)) {
    Error(line, "'" + scriptPath + "' is a folder, not a file");
    return std::nullopt;
  }
  try {
    *found = *path;
    return ReadFileBytes(*path);
  } catch (const SetupError& e) {
    Error(line, "cannot read '" + scriptPath + "': " + e.what());
    return std::nullopt;
  }
}

// Like the setting lines, the last one of a kind wins.
void Compiler::SetProductValue(const ScriptLine& line, const ProductDirective& form) {
  const std::string usage = std::string("'@") + form.Name + "' takes one text";
  if (line.Params.size() != 1 || line.Params[0].empty()) {
    Error(line.Number, usage);
    return;
  }
  const std::string& text = line.Params[0];
  if (form.Field == &ProductInformation::Version && !ParseVersionNumbers(text)) {
    Error(line.Number, "'@version' starts with up to four numbers of 0 to 65,535 separated by dots (1.2, 1.2.3.4), not '" +
                           text + "'");
    return;
  }
  result_.Setup.Product.*form.Field = text;
}

void Compiler::AddDirective(const ScriptLine& line) {
  if (EqualsNoCase(line.Word, "base") || EqualsNoCase(line.Word, "whole")) {
    if (line.Params.size() != 1) {
      Error(line.Number, "'@" + line.Word + "' takes " + (EqualsNoCase(line.Word, "base") ? "DIR" : "NAME"));
    } else if (EqualsNoCase(line.Word, "base")) {
      result_.Setup.BaseText = line.Params[0];
      result_.Setup.BaseLine = line.Number;
    } else {
      result_.Setup.WholeToo.push_back(AsciiLowerCopy(line.Params[0]));
    }
    return;
  }
  if (const ProductDirective* product = FindProductDirective(line.Word)) {
    SetProductValue(line, *product);
    return;
  }
  const DirectiveForm* form = FindDirective(line.Word);
  if (!form) {
    Error(line.Number, "unknown directive '@" + line.Word + "'");
    return;
  }
  if (line.Params.size() < static_cast<size_t>(form->MinParams) ||
      line.Params.size() > static_cast<size_t>(form->MaxParams)) {
    Error(line.Number, "'@" + line.Word + "' takes " + form->Usage);
    return;
  }
  fs::path found;
  std::optional<std::vector<uint8_t>> data = ReadSource(line.Number, line.Params[0], &found);
  if (!data) return;
  std::optional<std::string> sourceName = AnsiFromPath(found.filename());
  std::string baseName = line.Params.size() > 1 ? line.Params[1] : sourceName.value_or(std::string());
  std::string problem;
  std::optional<std::string> entryName = DirectiveEntryName(*form, baseName, *data, problem);
  if (!entryName) {
    Error(line.Number, problem);
    return;
  }
  if (EndsWithNoCase(*entryName, ".txt")) *data = NormaliseTextLineEnds(std::move(*data));
  ArchiveSource entry{*entryName, 0, true, std::move(*data), found, 0, line.Number, {}, {}, false};
  if (!AddGroup0(entry)) return;
  const bool uninstallLayout = EqualsNoCase(form->Name, "uninstall") && EndsWithNoCase(entry.Name, ".txt") &&
                               !EqualsNoCase(entry.Name, "UNINSTALL_Pages.txt");
  if (EqualsNoCase(form->Name, "layout") || uninstallLayout) layouts_.push_back({entry.Name, line.Number});
  directives_.push_back(std::move(entry));
}

void Compiler::AddPayloadGroups() {
  for (const GroupLine& g : group_lines_) {
    std::optional<fs::path> folder = ResolveScriptPath(base_, g.Folder);
    std::error_code ec;
    if (!folder) {
      Error(g.Line, "source folder not found - " + g.Folder);
      continue;
    }
    if (!fs::is_directory(*folder, ec)) {
      Error(g.Line, "'" + g.Folder + "' is not a folder");
      continue;
    }
    std::vector<std::string> problems;
    std::vector<ListedFile> files = ListPayloadFolder(*folder, problems);
    for (const std::string& p : problems) Error(g.Line, p);
    if (files.empty() && problems.empty()) Warn(g.Line, "folder '" + g.Folder + "' holds no files");
    for (ListedFile& f : files) {
      if (f.Name.size() > kMaxStringLength) {
        Error(g.Line, "file name longer than 65,535 characters below '" + g.Folder + "'");
        continue;
      }
      if (f.Size >= 0xFFFFFFFFull) {
        Error(g.Line, "'" + f.Name + "' is 4 GiB or larger; an archive entry holds less");
        continue;
      }
      std::string installed = g.InstallFolder ? *g.InstallFolder + f.Name : std::string();
      payload_.push_back({std::move(f.Name), static_cast<uint16_t>(g.Group), false, {}, std::move(f.Path),
                          f.Size, g.Line, std::move(installed), {}, false});
    }
  }
}

// Names that the setup looks up by name must be carried.
void Compiler::CheckReferences() {
  auto carried = [&](const std::string& name) { return group0_names_.count(AsciiLowerCopy(name)) != 0; };
  const SetupInfoRecord& info = result_.Setup.Info;
  if (!info.ChangelogName.empty() && !carried(info.ChangelogName))
    Warn(0, "\"changelog\" names the entry '" + info.ChangelogName + "', which the setup does not carry");
  for (const std::string prefix : {"", "UNINSTALL_"}) {
    std::set<std::string> listed;  // lower-cased entry names
    auto it = group0_names_.find(AsciiLowerCopy(prefix + "Pages.txt"));
    if (it == group0_names_.end()) {
      if (prefix.empty()) Warn(0, "the setup carries no \"Pages.txt\": its wizard will have no pages");
      else if (info.MakeUninstaller) Warn(0, "the uninstaller will carry no \"Pages.txt\" (add one with @uninstall)");
      continue;
    }
    const ArchiveSource* pages = nullptr;
    for (const ArchiveSource& e : directives_)
      if (EqualsNoCase(e.Name, prefix + "Pages.txt")) pages = &e;
    if (!pages) continue;
    if (prefix.empty() && result_.Setup.Product.Scope == InstallScope::kEither &&
        !PageListHasType(pages->Data, PageKind::Scope))
      Warn(it->second, "\"" + pages->Name +
                           "\" has no Scope page: the wizard asks whom to install for in a box (docs/script.md)");
    for (const LayoutSection& section : SplitSections(SplitLines(pages->Data))) {
      if (!EqualsNoCase(SectionName(section[0]), "Pages")) continue;
      for (size_t i = 1; i < section.size(); ++i) {
        listed.insert(AsciiLowerCopy(prefix + section[i]));
        if (!carried(prefix + section[i]))
          Error(it->second, "\"" + pages->Name + "\" names the layout '" + section[i] + "', which the setup does not carry" +
                               (prefix.empty() ? "" : " as '" + prefix + section[i] + "'"));
      }
    }
    for (const CarriedLayout& layout : layouts_)
      if (StartsWithNoCase(layout.Name, "UNINSTALL_") == !prefix.empty() && !listed.count(AsciiLowerCopy(layout.Name)))
        Warn(layout.Line, "no page list names the layout '" + layout.Name + "'");
  }
}

// Path variables and registry roots of the parameters that hold them.
// Where the line writes, against who the setup installs for. Paths that are
// only read or referred to (a registry value's data, a program started, a
// link's target) and the registry place of "installdirregkey" pass; an
// "either" setup's default folder moves below the user's own programs
// folder when it installs for the user.
void Compiler::CheckScopeOf(const CommandDescriptor& descriptor, const std::string& param, uint16_t bit) {
  const InstallScope scope = result_.Setup.Product.Scope;
  if (!scope_stated_) return;
  const std::string& keyword = descriptor.Keyword;
  const bool root = (descriptor.RootParams & bit) != 0;
  if (!root && !(descriptor.PathParams & bit)) return;
  for (const char* reads : {"installdirregkey", "writeregstr_url", "execute", "executecheck", "iffileexists"})
    if (EqualsNoCase(keyword, reads)) return;
  if (!root && EqualsNoCase(keyword, "writeregstr")) return;
  if (EqualsNoCase(keyword, "createshortcut") && bit != ParamBit(1)) return;
  if (EqualsNoCase(keyword, "installdir") && scope == InstallScope::kEither) return;
  CheckScope(scope, param, root, display_, current_line_, result_.Diagnostics);
}

void Compiler::CheckParameters(const CommandDescriptor& descriptor, const ScriptLine& line) {
  current_line_ = line.Number;
  for (size_t p = 0; p < line.Params.size() && p < 15; ++p) {
    const uint16_t bit = ParamBit(static_cast<int>(p) + 1);
    if (descriptor.PathParams & bit) CheckPathVariables(line.Params[p], display_, line.Number, result_.Diagnostics);
    if (descriptor.RootParams & bit) CheckRegistryRoot(line.Params[p], display_, line.Number, result_.Diagnostics);
    CheckScopeOf(descriptor, line.Params[p], bit);
  }
}

// Every table for the texts the program asks for by number; the setup's
// tables for the script's own texts, the uninstaller's for its layouts.
void Compiler::CheckLanguageReferences() {
  static constexpr std::string_view kUninstallTable = "UNINSTALL_LANGUAGE-";
  static constexpr std::string_view kSetupTable = "LANGUAGE-";
  std::vector<LanguageTable> setup, uninstall;
  for (const ArchiveSource& e : languages_) {
    const bool forUninstaller = StartsWithNoCase(e.Name, kUninstallTable);
    LanguageTable t{e.Name.substr((forUninstaller ? kUninstallTable : kSetupTable).size()), {}, e.ScriptLine};
    t.Table.LoadFromBuffer(e.Data.data(), e.Data.size());  // read once already when it was added
    (forUninstaller ? uninstall : setup).push_back(std::move(t));
  }
  CheckProgramTexts(setup, display_, result_.Diagnostics);
  CheckProgramTexts(uninstall, display_, result_.Diagnostics);
  // Without a table of its own every text of the uninstaller reads "NOT FOUND n".
  if (uninstall.empty())
    for (const ScriptLine& l : parsed_)
      if (l.Kind == ScriptLineKind::kCommand && l.Word == "uninstallpages") {
        Warn(l.Number, "the uninstaller carries no language table: its texts show as \"NOT FOUND\" and a "
                       "number (add \"uninstalllanguage NAME\")");
        break;
      }
  if (!setup.empty())
    for (const ScriptLine& l : parsed_)
      if (l.Kind == ScriptLineKind::kCommand && l.Word == "message" && !l.Params.empty())
        CheckLangRefs(l.Params[0], setup, display_, l.Number, result_.Diagnostics);
  for (const ArchiveSource& e : directives_) {
    const std::vector<LanguageTable>& tables = StartsWithNoCase(e.Name, "UNINSTALL_") ? uninstall : setup;
    if (tables.empty() || !EndsWithNoCase(e.Name, ".txt")) continue;
    std::string text;
    const bool wide = e.Data.size() >= 2 && e.Data[0] == 0xFF && e.Data[1] == 0xFE;
    for (size_t i = wide ? 2 : 0; i < e.Data.size(); i += wide ? 2 : 1) text += static_cast<char>(e.Data[i]);
    const fs::path relative = e.Source.lexically_relative(base_);
    const fs::path shown = relative.empty() ? e.Source : fs::path(display_).parent_path() / relative;
    CheckLangRefs(text, tables, shown.generic_string(), 1, result_.Diagnostics);
  }
}

}  // namespace

CompileResult CompileScriptText(std::string_view text, const std::string& displayName, const fs::path& baseDir,
                                std::vector<fs::path> languageDirs) {
  if (languageDirs.empty()) {
    languageDirs.push_back(baseDir / "languages");
    languageDirs.push_back(CompilerDirectory() / "languages");
  }
  Compiler compiler(displayName, baseDir, std::move(languageDirs));
  return compiler.Run(text);
}

CompileResult CompileScriptFile(const CompileOptions& options) {
  std::vector<uint8_t> bytes;
  try {
    bytes = ReadFileBytes(options.Script);
  } catch (const SetupError& e) {
    CompileResult r;
    r.Diagnostics.push_back({options.Script.string(), 0, std::string("cannot read the script: ") + e.what(), false});
    return r;
  }
  if (bytes.size() >= 2 && ((bytes[0] == 0xFF && bytes[1] == 0xFE) || (bytes[0] == 0xFE && bytes[1] == 0xFF))) {
    CompileResult r;
    r.Diagnostics.push_back({options.Script.string(), 1,
                             "the script is UTF-16; save it as 8-bit text (Windows code page)", false});
    return r;
  }
  std::error_code ec;
  fs::path base = fs::absolute(options.Script, ec).parent_path();
  std::string text(bytes.begin(), bytes.end());
  return CompileScriptText(text, options.Script.string(), base, options.LanguageDirs);
}

}  // namespace ferry::tool

#include "script_writeback.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <set>

#include "formats/pak/digit_key.h"
#include "formats/setup/carried_uninstaller.h"
#include "base/text.h"
#include "engine/command_list.h"
#include "engine/product_identity.h"
#include "base/text_helpers.h"
#include "host_paths.h"
#include "script_compiler.h"
#include "script_directives.h"
#include "script_lexer.h"

namespace ferry::tool {

std::string WriteBack::Text() const {
  std::string out;
  for (const std::string& l : Lines) out += l + "\r\n";
  return out;
}

namespace {

std::string LabelFor(size_t index) { return "line" + std::to_string(index + 1); }

bool ParseIndex(const std::string& text, long& value) {
  if (text.empty()) return false;
  char* end = nullptr;
  value = std::strtol(text.c_str(), &end, 10);
  return end && *end == '\0';
}

std::string Join(const std::string& keyword, const std::vector<std::string>& params) {
  std::string out = keyword;
  for (const std::string& p : params) out += " " + QuoteParam(p);
  return out;
}

bool Representable(const std::string& p) { return p.find_first_of("\r\n") == std::string::npos; }

class Writer {
 public:
  Writer(const SetupInfoRecord& info, const CompLineList& lines, const std::vector<PakFile>& dir,
         const std::optional<ProductInformation>& product, bool zstd, const std::string& baseText)
      : info_(info), lines_(lines), dir_(dir), product_(product), zstd_(zstd), base_text_(baseText) {
    RegisterCommands(commands_);
  }

  WriteBack Run();

 private:
  void Note(std::string text) { out_.Notes.push_back(std::move(text)); }
  void WriteCommand(size_t i, int& groupNo);
  std::vector<std::string> Settings();
  std::vector<std::string> DirectiveLines();
  void CheckOrder(const std::vector<size_t>& directiveEntries);
  void CheckPayloadFolders();
  std::string SafeDataPath(const std::string& name, size_t index);
  bool CarriesProductInfo() const {
    return std::any_of(dir_.begin(), dir_.end(),
                       [](const PakFile& f) { return f.Group == 0 && EqualsNoCase(f.Name, kProductInfoEntry); });
  }

  const SetupInfoRecord& info_;
  const CompLineList& lines_;
  const std::vector<PakFile>& dir_;
  const std::optional<ProductInformation>& product_;
  bool zstd_;
  const std::string& base_text_;
  CommandList commands_;
  WriteBack out_;
  std::vector<std::string> text_;   // per stream line; empty = free
  std::vector<bool> inert_;
  std::set<size_t> labels_;
  std::vector<std::string> language_entries_;  // in line order
  std::map<int, std::string> group_folders_;   // group -> source folder as written
  std::vector<size_t> directive_entries_;
  std::map<int, std::string> group_bases_;  // group -> folder the files go to
};

WriteBack Writer::Run() {
  size_t n = lines_.Lines.size();
  text_.assign(n, std::string());
  inert_.assign(n, false);
  for (size_t i = 0; i < n; ++i) {
    const CompLine& l = lines_.Lines[i];
    inert_[i] = commands_.Find(l.CommandNo) == nullptr;
    if (inert_[i] && (l.CommandNo > 0 || !l.Params.empty() || l.LineNo != -1))
      Note("line " + std::to_string(i) + " has no known command but is not stored as an empty line");
  }
  int groupNo = 0;
  for (size_t i = 0; i < n; ++i)
    if (!inert_[i]) WriteCommand(i, groupNo);
  for (size_t target : labels_) text_[target] = LabelFor(target) + ":";

  std::vector<std::string> fill = Settings();
  std::vector<std::string> directives = DirectiveLines();
  fill.insert(fill.end(), directives.begin(), directives.end());
  size_t next = 0;
  for (size_t i = 0; i < n && next < fill.size(); ++i)
    if (inert_[i] && !labels_.count(i)) text_[i] = fill[next++];
  if (next < fill.size()) {
    Note("the stream has too few empty lines for the settings and directives: the script is longer than the stream");
    for (; next < fill.size(); ++next) text_.push_back(fill[next]);
  }
  CheckPayloadFolders();
  out_.Lines = std::move(text_);
  return std::move(out_);
}

void Writer::WriteCommand(size_t i, int& groupNo) {
  const CompLine& l = lines_.Lines[i];
  CommandClass* c = commands_.Find(l.CommandNo);
  std::vector<std::string> params = l.Params;
  if (l.LineNo != static_cast<int32_t>(i))
    Note("line " + std::to_string(i) + " stores LineNo " + std::to_string(l.LineNo));
  if (c->GroupKind() != 0) {
    ++groupNo;
    if (params.empty() || params.back() != std::to_string(groupNo)) {
      Note("line " + std::to_string(i) + " does not carry group " + std::to_string(groupNo) + " last");
    } else {
      params.pop_back();
      group_folders_[groupNo] = params.empty() ? std::string() : params[0];
    }
  }
  const CommandDescriptor& descriptor = c->Descriptor();
  const bool zeroNone = descriptor.ZeroMeansNoJump;
  for (int p = 1; p <= static_cast<int>(params.size()) && p < 16; ++p) {
    if (!(descriptor.JumpParams & ParamBit(p))) continue;
    std::string& value = params[static_cast<size_t>(p - 1)];
    long target = 0;
    if (zeroNone && value == "-1") {
      value = "0";
    } else if (ParseIndex(value, target) && target >= 0 && static_cast<size_t>(target) < lines_.Lines.size() &&
               inert_[static_cast<size_t>(target)]) {
      labels_.insert(static_cast<size_t>(target));
      value = LabelFor(static_cast<size_t>(target));
    } else {
      Note("line " + std::to_string(i) + ": jump target '" + value + "' is not a line without a command");
    }
  }
  for (int p = 1; p <= static_cast<int>(params.size()) && p < 16; ++p)
    if (descriptor.EncipheredParams & ParamBit(p))
      params[static_cast<size_t>(p - 1)] = DigitKeyDecode(kCommandParamKey, params[static_cast<size_t>(p - 1)]);
  if (descriptor.LanguageEntryPrefix) language_entries_.push_back(descriptor.LanguageEntryPrefix + l.Param(1));
  for (const std::string& p : params)
    if (!Representable(p)) Note("line " + std::to_string(i) + " has a parameter with a line break");
  text_[i] = Join(c->Keyword, params);

  // Where the language table and the payload have to be for this line.
  if (descriptor.LanguageEntryPrefix) {
    const std::string& entry = language_entries_.back();
    auto e = std::find_if(dir_.begin(), dir_.end(),
                          [&](const PakFile& f) { return f.Group == 0 && EqualsNoCase(f.Name, entry); });
    if (e == dir_.end()) {
      Note("line " + std::to_string(i) + ": the setup carries no entry '" + entry + "'");
    } else {
      std::string path = std::string(kLanguageFolder) + "\\" + l.Param(1) + ".wri";
      auto same = std::find_if(out_.Files.begin(), out_.Files.end(),
                               [&](const WriteBackFile& f) { return EqualsNoCase(f.RelPath, path); });
      if (same == out_.Files.end()) {
        out_.Files.push_back({static_cast<size_t>(e - dir_.begin()), path});
      } else {
        const PakFile& other = dir_[same->EntryIndex];
        if (other.Checksum != e->Checksum || other.OrigSize != e->OrigSize || other.CompSize != e->CompSize)
          Note("'" + entry + "' differs from '" + other.Name + "', but both come from " + path);
      }
    }
  }
  if (c->GroupKind() != 0 && group_folders_.count(groupNo)) {
    std::string folder = group_folders_[groupNo];
    std::string base = folder;
    while (!base.empty() && (base.back() == '\\' || base.back() == '/')) base.pop_back();
    if (!IsContainedName(base)) {
      Note("line " + std::to_string(i) + ": source folder '" + folder +
           "' is not a folder below the script; its files go to payload\\group" + std::to_string(groupNo));
      base = "payload\\group" + std::to_string(groupNo);
      text_[i] = Join(c->Keyword, [&] {
        std::vector<std::string> p = params;
        if (!p.empty()) p[0] = base + "\\";
        return p;
      }());
    }
    group_bases_[groupNo] = base;
    for (size_t e = 0; e < dir_.size(); ++e)
      if (dir_[e].Group == groupNo) {
        if (!IsContainedName(dir_[e].Name)) {
          Note("entry '" + dir_[e].Name + "' of group " + std::to_string(groupNo) + " would leave its folder: skipped");
          continue;
        }
        if (dir_[e].Kind != kEntryWholeFallback) out_.Files.push_back({e, base + "\\" + dir_[e].Name});
      }
  }
}

std::vector<std::string> Writer::Settings() {
  std::vector<std::string> s;
  SetupInfoRecord def = CompilerDefaultSetupInfo();
  if (!info_.SetupTitle.empty()) s.push_back(Join("name", {info_.SetupTitle}));
  if (info_.ShortTitle != info_.SetupTitle) s.push_back(Join("shortname", {info_.ShortTitle}));
  if (!info_.SetupExeName.empty()) s.push_back(Join("outfile", {info_.SetupExeName}));
  if (!info_.InstallDir.empty()) s.push_back(Join("installdir", {info_.InstallDir}));
  const RegistryLocation& k = info_.InstallDirRegKey;
  if (k.RootKey > 4) Note("the registry root index " + std::to_string(k.RootKey) + " has no name");
  if (k.RootKey != 0 || !k.Key.empty() || !k.ValueName.empty())
    s.push_back(Join("installdirregkey", {RootKeyShortName(k.RootKey), k.Key, k.ValueName}));
  if (!info_.ChangelogName.empty()) s.push_back(Join("changelog", {info_.ChangelogName}));
  if (!info_.PageSet.empty()) s.push_back(Join("pages", {info_.PageSet}));
  if (info_.MakeUninstaller == 1) s.push_back(Join("uninstallpages", {info_.UninstallPageSet}));
  else if (info_.MakeUninstaller != 0 || !info_.UninstallPageSet.empty())
    Note("the uninstaller settings cannot come from a script (MakeUninstaller " +
         std::to_string(info_.MakeUninstaller) + ", uninstall page set '" + info_.UninstallPageSet + "')");
  const std::string& prefix = info_.UninstallPrefix;
  if (!prefix.empty() && prefix.back() == '_' &&
      info_.UninstallExeName == prefix.substr(0, prefix.size() - 1) + "_Uninstall.exe") {
    s.push_back(Join("prefix", {prefix.substr(0, prefix.size() - 1)}));
  } else if (prefix != def.UninstallPrefix || info_.UninstallExeName != def.UninstallExeName) {
    Note("the uninstaller names ('" + info_.UninstallExeName + "', prefix '" + prefix +
         "') cannot come from a \"prefix\" line");
  }
  if (info_.IsUninstaller != 0) Note("this is an uninstaller, not a setup");
  if (zstd_) {
    s.push_back("compression zstd");
    Note("the setup does not record its zstd level: compiled again at level " + std::to_string(kDefaultZstdLevel) +
         " (\"compression zstd\") its entries may differ");
  }
  const bool carried = CarriesProductInfo();
  if (carried && !product_) Note("the \"ProductInfo\" entry is damaged: its values are not written back");
  if (carried && product_ && product_->Empty())
    Note("the \"ProductInfo\" entry holds no values: a new compile carries none");
  if (product_) {
    if (!product_->Version.empty()) s.push_back(Join("@version", {product_->Version}));
    if (!product_->Publisher.empty()) s.push_back(Join("@publisher", {product_->Publisher}));
    if (!product_->HelpUrl.empty()) s.push_back(Join("@helpurl", {product_->HelpUrl}));
    if (!product_->ProductId.empty()) s.push_back(Join("productid", {product_->ProductId}));
    if (product_->Scope != InstallScope::kMachine)
      s.push_back(Join("scope", {std::string(InstallScopeName(product_->Scope))}));
    if (product_->SideBySide) s.push_back("sidebyside");
    if (product_->ReplaceAtRestart) s.push_back("replaceatrestart");
  }
  return s;
}

std::string Writer::SafeDataPath(const std::string& name, size_t index) {
  bool plain = IsContainedName(name) && name.find_first_of("\\/:*?\"<>|") == std::string::npos;
  return std::string(kDataFolder) + "\\" + (plain ? name : "entry" + std::to_string(index));
}

std::vector<std::string> Writer::DirectiveLines() {
  std::vector<std::string> out;
  std::set<std::string> seen;
  for (size_t e = 0; e < dir_.size(); ++e) {
    const PakFile& f = dir_[e];
    if (f.Group != 0) continue;
    if (EqualsNoCase(f.Name, "SetupInfo") || EqualsNoCase(f.Name, "CompiledLines") ||
        EqualsNoCase(f.Name, kProductInfoEntry) || EqualsNoCase(f.Name, kDeltaBaseEntry) ||
        EqualsNoCase(f.Name, kCarriedUninstallerEntry) ||
        StartsWithNoCase(f.Name, "LANGUAGE-") || StartsWithNoCase(f.Name, "UNINSTALL_LANGUAGE-")) {
      if ((StartsWithNoCase(f.Name, "LANGUAGE-") || StartsWithNoCase(f.Name, "UNINSTALL_LANGUAGE-")) &&
          std::none_of(language_entries_.begin(), language_entries_.end(),
                       [&](const std::string& n) { return EqualsNoCase(n, f.Name); }))
        Note("language entry '" + f.Name + "' has no \"language\" line");
      if (EqualsNoCase(f.Name, kCarriedUninstallerEntry))
        Note("the setup carries an uninstaller signed when it was compiled: give \"signcommand\" to sign it again");
      continue;
    }
    if (!seen.insert(AsciiLowerCopy(f.Name)).second) Note("group 0 holds '" + f.Name + "' twice");
    std::string path = SafeDataPath(f.Name, e);
    std::string fileName = path.substr(std::string(kDataFolder).size() + 1);
    out_.Files.push_back({e, path});
    directive_entries_.push_back(e);
    auto withEntry = [&](const char* directive, const std::string& entry) {
      std::vector<std::string> p{path};
      if (entry != fileName) p.push_back(entry);
      return Join(directive, p);
    };
    if (EqualsNoCase(f.Name, "Pages.txt")) out.push_back(Join("@pages", {path}));
    else if (EqualsNoCase(f.Name, "UNINSTALL_ICON.ICO")) out.push_back(Join("@icon", {path}));
    else if (EqualsNoCase(f.Name, "UNINSTALL_FINALISE.EXE")) out.push_back(Join("@finaliser", {path}));
    else if (StartsWithNoCase(f.Name, "UNINSTALL_")) out.push_back(Join("@uninstall", {path, f.Name.substr(10)}));
    else if (f.Name == info_.ChangelogName) out.push_back(withEntry("@changelog", f.Name));
    else if (EndsWithNoCase(f.Name, ".txt")) out.push_back(withEntry("@layout", f.Name));
    else {
      bool image = false;
      for (const char* ext : {".bmp", ".jpg", ".jpeg", ".ico", ".emf", ".wmf"}) image |= EndsWithNoCase(f.Name, ext);
      out.push_back(withEntry(image ? "@image" : "@data", f.Name));
    }
  }
  CheckOrder(directive_entries_);
  // What a patch is made against, and the files it also carries whole.
  if (!base_text_.empty()) out.push_back(Join("@base", {base_text_}));
  std::set<std::string> whole;
  for (const PakFile& f : dir_)
    if (f.Kind == kEntryWholeFallback && whole.insert(AsciiLowerCopy(f.Name)).second) out.push_back(Join("@whole", {f.Name}));
  return out;
}

// The order ferryc writes: languages by line, directives, the two records,
// then each group's files sorted by name.
void Writer::CheckOrder(const std::vector<size_t>& directiveEntries) {
  std::vector<std::pair<uint16_t, std::string>> expected, actual;
  for (const std::string& l : language_entries_) expected.push_back({0, AsciiLowerCopy(l)});
  for (size_t e : directiveEntries) expected.push_back({0, AsciiLowerCopy(dir_[e].Name)});
  expected.push_back({0, "setupinfo"});
  expected.push_back({0, "compiledlines"});
  if (CarriesProductInfo()) expected.push_back({0, "productinfo"});
  if (!base_text_.empty()) expected.push_back({0, AsciiLowerCopy(kDeltaBaseEntry)});
  std::vector<std::pair<uint16_t, std::string>> payload;
  for (const PakFile& f : dir_)
    if (f.Group != 0) payload.push_back({f.Group, f.Name});
  std::stable_sort(payload.begin(), payload.end());
  for (auto& p : payload) expected.push_back({p.first, p.first == 0 ? AsciiLowerCopy(p.second) : p.second});
  for (const PakFile& f : dir_) actual.push_back({f.Group, f.Group == 0 ? AsciiLowerCopy(f.Name) : f.Name});
  if (expected != actual)
    Note("the archive's entries are not in the order ferryc writes them: a new compile orders them differently");
}

// A folder packs everything below it: two groups whose folders are the same
// or nested only come back the same when their files are the same.
void Writer::CheckPayloadFolders() {
  std::map<std::string, std::set<std::string>> below;  // lower-cased folder -> files under it
  for (const auto& [group, base] : group_bases_) below[AsciiLowerCopy(base) + "\\"];
  for (const WriteBackFile& f : out_.Files) {
    if (dir_[f.EntryIndex].Group == 0) continue;
    std::string path = AsciiLowerCopy(f.RelPath);
    for (auto& [folder, files] : below)
      if (path.compare(0, folder.size(), folder) == 0) files.insert(path.substr(folder.size()));
  }
  for (const auto& [group, base] : group_bases_) {
    size_t own = 0;
    for (const PakFile& f : dir_) own += f.Group == group && f.Kind != kEntryWholeFallback;
    size_t there = below[AsciiLowerCopy(base) + "\\"].size();
    if (there != own)
      Note("group " + std::to_string(group) + " holds " + std::to_string(own) + " files but its folder '" + base +
           "' will hold " + std::to_string(there) + " (folders shared or nested with another group)");
  }
}

}  // namespace

WriteBack WriteBackScript(const SetupInfoRecord& info, const CompLineList& lines, const std::vector<PakFile>& directory,
                          const std::optional<ProductInformation>& product, bool zstd,
                          const std::string& baseText) {
  Writer w(info, lines, directory, product, zstd, baseText);
  return w.Run();
}

}  // namespace ferry::tool

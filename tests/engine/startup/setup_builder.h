// Builds setup archives for start-up tests: the setup information, compiled
// lines, language tables and payload, written with the archive writer after
// a host program (or nothing). Shared by the native tests and the Wine runs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "formats/pak/pak_reader.h"
#include "formats/pak/pak_writer.h"
#include "base/random_access_file.h"
#include "engine/command_list.h"
#include "formats/setup/comp_lines.h"
#include "formats/setup/setup_info.h"

namespace ferry::testing {

struct BuiltEntry {
  std::string Name;
  std::vector<uint8_t> Data;  // empty: the entry keeps OrigSize 0
  uint16_t Group = 0;
};

inline std::vector<uint8_t> BytesOf(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

// A language file: UTF-16LE with a byte-order mark, CR LF line ends.
inline std::vector<uint8_t> LanguageFile(const std::u16string& name, const std::string& langIds,
                                         const std::vector<std::pair<int, std::u16string>>& items) {
  std::u16string text = u"\uFEFF" + name + u"\r\n" + std::u16string(langIds.begin(), langIds.end()) + u"\r\n";
  for (const auto& [n, t] : items) {
    std::string num = std::to_string(n);
    text += std::u16string(num.begin(), num.end()) + u" " + t + u"\r\n";
  }
  std::vector<uint8_t> out;
  for (char16_t c : text) {
    out.push_back(static_cast<uint8_t>(c & 0xFF));
    out.push_back(static_cast<uint8_t>(c >> 8));
  }
  return out;
}

class SetupBuilder {
 public:
  SetupBuilder() {
    Info.SetupTitle = "Demo Game Patch";
    Info.ShortTitle = "Demo";
    Info.SetupExeName = "setup.exe";
    Info.UninstallExeName = "Uninstall.exe";
    Info.InstallDir = "C:\\Games\\Demo";
    Info.ChangelogName = "Changelog";
    RegisterCommands(commands_);
  }

  SetupInfoFile Info;
  CompLineList Lines;
  bool WithSetupInfo = true;
  bool WithCompiledLines = true;
  std::vector<BuiltEntry> Extra;  // after the setup's own entries

  // One line of a command by keyword with its parameters; returns its index.
  int AddLine(const std::string& keyword, std::vector<std::string> params) {
    CompLine line;
    line.CommandNo = commands_.FindKeyword(keyword);
    int index = static_cast<int>(Lines.Lines.size());
    line.LineNo = index;
    for (auto& p : params) line.AddParam(std::move(p));
    Lines.Lines.push_back(std::move(line));
    return index;
  }

  void AddLanguage(const std::string& name, const std::string& langIds, const std::u16string& text1) {
    Extra.push_back({"LANGUAGE-" + name,
                     LanguageFile(std::u16string(name.begin(), name.end()), langIds, {{1, text1}}), 0});
  }

  // The archive appended to `host` (which may be empty).
  std::vector<uint8_t> Build(std::vector<uint8_t> host = {}) const {
    MemoryFile file(std::move(host));
    {
      PakWriter pak = PakWriter::Append(file);  // an empty file: DataStart 0
      auto store = [&pak](const std::string& name, const std::vector<uint8_t>& data, uint16_t group) {
        size_t i = pak.AddEntry(name, "", group);
        if (!data.empty()) pak.StoreBuffer(i, data);
      };
      if (WithSetupInfo) store("SetupInfo", Info.WriteToBuffer(), 0);
      if (WithCompiledLines) store("CompiledLines", Lines.SaveToBuffer(), 0);
      for (const BuiltEntry& e : Extra) store(e.Name, e.Data, e.Group);
      pak.WriteDirectory();
    }
    return file.Data();
  }

 private:
  CommandList commands_;
};

// Offset of an entry's stored bytes in a built archive.
inline uint32_t EntryOffset(const std::vector<uint8_t>& archive, const std::string& name) {
  MemoryFile file(archive);
  PakReader pak(file);
  for (const PakFile& f : pak.Files())
    if (f.Name == name) return f.Offset;
  return 0;
}

}  // namespace ferry::testing

// Small fixtures for the compiler tests: a private folder with a script,
// language tables and payload files.
#pragma once

#include <atomic>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "base/random_access_file.h"
#include "formats/languages/text_ids.h"
#include "script_compiler.h"

namespace ferry::tool::test {

class TempDir {
 public:
  TempDir() {
    static std::atomic<int> counter{0};
    std::random_device rd;
    path_ = std::filesystem::temp_directory_path() /
            ("ferryc-test-" + std::to_string(rd()) + "-" + std::to_string(counter++));
    std::filesystem::create_directories(path_);
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  const std::filesystem::path& path() const { return path_; }

  std::filesystem::path Write(const std::string& rel, const std::string& text) const {
    std::filesystem::path p = path_ / rel;
    std::filesystem::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << text;
    return p;
  }
  std::filesystem::path WriteBytes(const std::string& rel, const std::vector<uint8_t>& bytes) const {
    std::filesystem::path p = path_ / rel;
    std::filesystem::create_directories(p.parent_path());
    WriteFileBytes(p, bytes);
    return p;
  }
  // A language table: name, ids, then "n text" lines; UTF-16LE with a mark, CR LF.
  // Every table holds the texts the setup shows itself, but for `without`.
  std::filesystem::path WriteLanguage(const std::string& name, const std::string& body = "1 Hello\r\n",
                                      int without = 0) const {
    std::string text = name + "\r\n0409;\r\n" + body;
    for (int number : kProgramTexts)
      if (number != without) text += std::to_string(number) + " Text " + std::to_string(number) + "\r\n";
    std::vector<uint8_t> bytes{0xFF, 0xFE};
    for (char c : text) {
      bytes.push_back(static_cast<uint8_t>(c));
      bytes.push_back(0);
    }
    return WriteBytes("languages/" + name + ".wri", bytes);
  }

 private:
  std::filesystem::path path_;
};

inline CompileResult Compile(const TempDir& dir, const std::string& script) {
  return CompileScriptText(script, "test.fss", dir.path(), {dir.path() / "languages"});
}

inline std::string Errors(const CompileResult& r) {
  std::string out;
  for (const Diagnostic& d : r.Diagnostics) out += FormatDiagnostic(d) + "\n";
  return out;
}

inline const ArchiveSource* FindEntry(const CompileResult& r, const std::string& name) {
  for (const ArchiveSource& e : r.Setup.Entries)
    if (e.Name == name) return &e;
  return nullptr;
}

}  // namespace ferry::tool::test

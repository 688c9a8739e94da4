// Turns a setup script into everything the setup archive will hold: the
// setup information record, the compiled command stream and the list of
// archive entries in archive order (group 0 first, then the payload groups).
// Nothing is written here; setup_writer.h appends the entries to a stub.
//
// Archive order, fixed so the same inputs give the same bytes: the language
// tables in the order of their lines, the entries of the directives in the
// order of their lines, "SetupInfo", "CompiledLines", "ProductInfo" (only
// when @version, @publisher or @helpurl gives it a value), then group 1, 2, ...
// each with its folder's files sorted by name (bytes of the Windows name,
// backslashes as separators).
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "formats/setup/comp_lines.h"
#include "formats/setup/product_info.h"
#include "formats/setup/setup_info.h"

namespace ferry::tool {

struct Diagnostic {
  std::string File;  // the script, or the file a problem lies in
  int Line = 0;      // 1-based; 0 when the problem has no line
  std::string Message;
  bool Warning = false;
};

// "file:line: error: message" (or "warning:"), without a line end.
std::string FormatDiagnostic(const Diagnostic& d);

struct ArchiveSource {
  std::string Name;  // entry name (8-bit)
  uint16_t Group = 0;
  // Either the bytes (group 0 entries, read and checked while compiling) or
  // the file to read when the setup is written (payload).
  bool HasData = false;
  std::vector<uint8_t> Data;
  std::filesystem::path Source;
  uint64_t Size = 0;    // of the source file when it was listed
  int ScriptLine = 0;   // the line that brought the entry in
  // A file a "file" line installs: its path below the install folder
  // (backslashes), where a base folder holds its earlier release.
  std::string Installed;
  // Set when the setup is written (PlanDeltas): the earlier release's file
  // to store it against, and whether this entry is the whole twin of the
  // delta before it.
  std::filesystem::path Base;
  bool WholeTwin = false;
};

// The group-0 entry that records the base folder (the text of "@base" or
// --base), so that ferryc info writes the line back.
inline constexpr char kDeltaBaseEntry[] = "DeltaBase";

struct CompiledSetup {
  SetupInfoRecord Info;
  CompLineList Lines;
  ProductInformation Product;
  std::vector<ArchiveSource> Entries;  // in archive order
  std::filesystem::path ScriptDir;
  // "compression zstd [LEVEL]": entries are stored as zstd frames at this
  // level; 0 ("compression zlib", or no such line): zlib streams.
  int ZstdLevel = 0;
  // "@base DIR" (or --base): the previous release as installed; its text as
  // given, the line that gave it (0: the command line).
  std::string BaseText;
  int BaseLine = 0;
  std::filesystem::path BaseDir;  // where baseText leads (set by ferryc compile)
  // "@whole NAME": payload files also stored whole beside their delta, by
  // entry name (lower-cased).
  std::vector<std::string> WholeToo;
};

// The level of "compression zstd" without one.
inline constexpr int kDefaultZstdLevel = 19;

struct CompileOptions {
  std::filesystem::path Script;
  // Where "language NAME" looks for NAME.wri, in order. Empty: the
  // "languages" folder beside the script, then the one beside ferryc.
  std::vector<std::filesystem::path> LanguageDirs;
};

struct CompileResult {
  bool Ok = false;
  CompiledSetup Setup;
  std::vector<Diagnostic> Diagnostics;
};

// Limits of the formats.
inline constexpr size_t kMaxScriptLines = 0xFFFF;
inline constexpr size_t kMaxEntries = 0xFFFF;
inline constexpr size_t kMaxStringLength = 0xFFFF;

CompileResult CompileScriptFile(const CompileOptions& options);
// The same for script text already in memory; `displayName` names it in
// messages and relative paths are taken from `baseDir`.
CompileResult CompileScriptText(std::string_view text, const std::string& displayName,
                                const std::filesystem::path& baseDir,
                                std::vector<std::filesystem::path> languageDirs);

// Lone LF line ends become CR LF (the setup splits its text files at CR).
std::vector<uint8_t> NormaliseTextLineEnds(std::vector<uint8_t> data);
// The same for UTF-16LE text after its byte-order mark.
std::vector<uint8_t> NormaliseUtf16LineEnds(std::vector<uint8_t> data);

}  // namespace ferry::tool

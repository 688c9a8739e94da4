// ferryc compile SCRIPT [-o OUT] [--stub FILE] [--base DIR] [-q] [--werror]
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "base/text.h"
#include "host_paths.h"
#include "script_compiler.h"
#include "setup_writer.h"
#include "tool_command.h"
#include "work_progress.h"

namespace fs = std::filesystem;

namespace ferry::tool {

namespace {

const char kHelp[] =
    "usage: ferryc compile SCRIPT [-o OUT] [--stub FILE] [--base DIR] [-q] [--werror]\n"
    "\n"
    "Compiles a setup script (docs/script.md) into a setup program: a copy of\n"
    "the stub with the setup archive appended.\n"
    "\n"
    "  -o OUT       write the setup here (default: the \"outfile\" name, beside\n"
    "               the script)\n"
    "  --stub FILE  the setup program to append to (default: $FERRY_STUB, else\n"
    "               setup-stub.exe beside ferryc or in the build tree)\n"
    "  --base DIR   the previous release as installed (instead of the script's\n"
    "               @base line): each installed file it holds with other\n"
    "               contents is stored as a delta against it when that is smaller\n"
    "  -q           print errors and warnings only\n"
    "  --werror     take warnings as errors\n"
    "\n"
    "On a terminal a counter of files and bytes shows on standard error while\n"
    "the archive is written. The last line (not with -q) sums up: entries,\n"
    "payload groups, bytes in, bytes out (the archive) and their ratio, the\n"
    "stub's and the setup's size, and the time taken.\n"
    "Messages read FILE:LINE: error: TEXT (or warning: TEXT, which does not\n"
    "stop the compile). A script with errors writes nothing.\n"
    "Exit status: 0 written, 1 errors, 2 bad usage.\n";

std::optional<fs::path> FindStub(const std::string& given) {
  std::error_code ec;
  if (!given.empty()) return fs::path(given);
  if (const char* env = std::getenv("FERRY_STUB"); env && *env) return fs::path(env);
  fs::path dir = CompilerDirectory();
  for (const fs::path& candidate : {dir / "setup-stub.exe", dir / ".." / ".." / "src" / "app" / "setup-stub.exe",
                                    dir / ".." / ".." / ".." / "windows" / "src" / "app" / "setup-stub.exe"})
    if (fs::is_regular_file(candidate, ec)) return candidate.lexically_normal();
  return std::nullopt;
}

// The base folder: --base (from the working folder) over "@base" (from the
// script's folder); it must be a folder.
void FindBase(CompileResult& result, const std::string& given, const std::string& script) {
  CompiledSetup& setup = result.Setup;
  if (!given.empty()) {
    setup.BaseText = given;
    setup.BaseLine = 0;
    setup.BaseDir = fs::path(given);
  } else if (!setup.BaseText.empty()) {
    setup.BaseDir = ResolveScriptPath(setup.ScriptDir, setup.BaseText).value_or(fs::path());
  }
  std::error_code ec;
  if (setup.BaseText.empty() || (!setup.BaseDir.empty() && fs::is_directory(setup.BaseDir, ec))) return;
  result.Diagnostics.push_back({script, setup.BaseLine, "base folder not found - " + setup.BaseText, false});
  result.Ok = false;
}

int RunCompile(const std::vector<std::string>& args) {
  if (WantsHelp(args)) {
    std::fputs(kHelp, stdout);
    return 0;
  }
  std::string script, out, stub, base;
  bool quiet = false;
  bool werror = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if ((a == "-o" || a == "--stub" || a == "--base") && i + 1 < args.size()) {
      (a == "-o" ? out : a == "--stub" ? stub : base) = args[++i];
    } else if (a == "-q") {
      quiet = true;
    } else if (a == "--werror") {
      werror = true;
    } else if (!a.empty() && a[0] == '-') {
      std::fprintf(stderr, "ferryc compile: unknown option '%s'\n%s", a.c_str(), kHelp);
      return 2;
    } else if (script.empty()) {
      script = a;
    } else {
      std::fprintf(stderr, "ferryc compile: more than one script given\n");
      return 2;
    }
  }
  if (script.empty()) {
    std::fputs(kHelp, stderr);
    return 2;
  }

  WorkProgress progress(!quiet);
  CompileOptions options;
  options.Script = script;
  CompileResult result = CompileScriptFile(options);
  if (result.Ok) FindBase(result, base, script);
  std::optional<fs::path> stubPath = FindStub(stub);
  fs::path outPath;
  if (!out.empty()) {
    outPath = out;
  } else if (!result.Setup.Info.SetupExeName.empty()) {
    std::string name = result.Setup.Info.SetupExeName;
    size_t cut = name.find_last_of("\\/");
    if (cut != std::string::npos) name = name.substr(cut + 1);
    outPath = result.Setup.ScriptDir / PathFromAnsi(name);
  }
  if (result.Ok && !stubPath)
    result.Diagnostics.push_back({script, 0, "no stub found: pass --stub FILE or set FERRY_STUB", false});
  if (result.Ok && !out.empty()) {
    auto own = AnsiFromPath(outPath.filename());
    std::string expected = result.Setup.Info.SetupExeName;
    size_t cut = expected.find_last_of("\\/");
    if (cut != std::string::npos) expected = expected.substr(cut + 1);
    if (!own || !EqualsNoCase(*own, expected))
      result.Diagnostics.push_back({script, 0,
                                    "the setup will be called '" + outPath.filename().string() +
                                        "' but checks for '" + expected + "' (\"outfile\") when it starts",
                                    true});
  }
  if (werror)
    for (Diagnostic& d : result.Diagnostics)
      if (d.Warning) {
        d.Warning = false;
        result.Ok = false;
      }
  bool ok = result.Ok && stubPath;
  WriteStats stats;
  if (ok) {
    uint64_t total = 0;
    for (const ArchiveSource& e : result.Setup.Entries) total += SourceBytes(e);
    progress.SetTotal(result.Setup.Entries.size(), total);
    ok = WriteSetup(result.Setup, *stubPath, outPath, script, result.Diagnostics, &stats,
                    [&](size_t n, uint64_t bytes) { progress.Step(n, bytes); });
    progress.Finish();
  }
  int errors = 0;
  for (const Diagnostic& d : result.Diagnostics) {
    std::fprintf(stderr, "%s\n", FormatDiagnostic(d).c_str());
    if (!d.Warning) ++errors;
  }
  if (!ok) {
    std::fprintf(stderr, "ferryc compile: %d error(s), nothing written\n", errors);
    return 1;
  }
  if (!quiet) {
    uint64_t archive = stats.FileSize - stats.StubSize;
    std::printf("%s: %zu entries, %zu payload groups, %llu bytes in, %llu bytes out (%s), stub %llu bytes, "
                "setup %llu bytes, %.2f s\n",
                outPath.string().c_str(), stats.Entries, stats.Groups,
                static_cast<unsigned long long>(stats.OriginalBytes), static_cast<unsigned long long>(archive),
                Percent(archive, stats.OriginalBytes).c_str(), static_cast<unsigned long long>(stats.StubSize),
                static_cast<unsigned long long>(stats.FileSize), progress.Seconds());
  }
  return 0;
}

const ToolCommandRegistration kCompile{
    {"compile", "SCRIPT [-o OUT] [--stub F] [--base DIR]", "compile a setup script into a setup program", RunCompile}};

}  // namespace

}  // namespace ferry::tool

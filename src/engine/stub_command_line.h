// The stub's command line: the switches it knows, the archive argument and
// the usage text shown for "/?" and after an unknown switch.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ferry {

// The texts are UTF-8: the command line as the system gives it, every
// character kept; each piece becomes a path or an 8-bit text where it is used.
// "/J a b" is accepted and otherwise unused: the error report masks a and b.
struct StubOptions {
  bool Silent = false;                    // "/S"
  bool Debug = false;                     // "/DEBUG"
  bool AllowDowngrade = false;            // "/ALLOWDOWNGRADE": replaces a newer installed version
  // "/RESTARTOK": files running programs hold are replaced at the next
  // restart (exit code 3010) instead of stopping the run.
  bool RestartOk = false;
  // "/ALLUSERS" (true) or "/CURRENTUSER" (false): whom a setup of "scope
  // either" installs for; the last one given wins.
  std::optional<bool> ForAllUsers;
  // "/ELEVATED": this is the copy a setup started through the elevation
  // prompt; it does not ask again, whatever rights it got.
  bool ElevatedCopy = false;
  std::optional<std::string> InstallDir;  // "/D=dir": the rest of the line, blanks and all
  std::string LogFile;                    // "/LOG=file"
  bool Help = false;                      // "/?" or "/HELP": the usage, and nothing else
  // The first parameter beginning with "/" that is no switch above: the run
  // stops with the usage (exit code 3).
  std::string UnknownSwitch;
  // The first parameter that is not a switch: the archive, when it names an
  // existing file. Switches (parameters beginning with "/") never are.
  std::string ArchiveArgument;
  // Parameters 1..n as the command line splits them (for the error report).
  std::vector<std::string> Params;
};

// Splits a Windows command line the way the C runtime does (blanks separate,
// double quotes group, backslashes escape only before a quote). The first
// element is the program. Each piece's offset in the line is put into
// `ends` (index just past the piece) when given.
std::vector<std::string> SplitCommandLine(std::string_view line, std::vector<size_t>* ends = nullptr);
// Whole command line (UTF-8), program name first.
StubOptions ParseStubCommandLine(std::string_view line);

// The switches, for "/?" and after an unknown switch ("\n" between lines).
inline constexpr std::string_view kStubUsage =
    "Usage: setup.exe [archive] [/S] [/DEBUG] [/RESTARTOK] [/LOG=file] [/ALLOWDOWNGRADE] [/ALLUSERS|/CURRENTUSER]\n"
    "                 [/D=folder]\n"
    "  archive    a setup archive to use instead of the program's own\n"
    "  /S         silent: no window; messages go to standard error\n"
    "  /DEBUG     the debug listing (with /S), else the wizard's Debug button\n"
    "  /RESTARTOK files in use are replaced at the next restart (exit code 3010)\n"
    "  /LOG=file  writes every line of the run to the file as well\n"
    "  /ALLOWDOWNGRADE  replaces an installed version newer than the setup's\n"
    "  /ALLUSERS  installs for every user of the machine (administrator rights)\n"
    "  /CURRENTUSER  installs for the user running the setup only\n"
    "  /ELEVATED  (given by the setup to its elevated copy) asks for no elevation\n"
    "  /D=folder  the install folder; must come last: the rest of the line is the folder\n"
    "  /?, /HELP  shows this text";
// "Unknown switch \"/X\".", a blank line and the usage.
std::string UnknownSwitchMessage(std::string_view unknownSwitch);

}  // namespace ferry

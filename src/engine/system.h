// What the commands' run steps act on besides the setup archive: files and
// folders, the registry, shell links, programs and the process itself. The
// app hands the Win32 implementation to the setup thread's run, which gives
// the commands its journaled wrapper (CommandRun); tests may hand their own.
// Paths, keys and values are 8-bit texts in the system code page.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ferry {

class FileSystem;

// Registry roots by index, as RootKeyIndex (base/text_helpers.h) numbers them.
inline constexpr int kClassesRootIndex = 2;

enum class RegistryWrite { kDone, kKeyNotOpened, kValueNotWritten };

struct ShellLink {
  std::string LinkPath;  // the .lnk file to write
  std::string Target;
  std::string Arguments;
  std::string WorkingDirectory;
  std::string IconPath;  // empty: the target's icon
};

// A registry value as it was before a run changed it.
struct RegistryValueState {
  bool KeyExisted = false;
  std::optional<std::string> Value;  // none: no string value of that name
  std::optional<uint32_t> Dword;     // a DWORD value of that name (no string then)
};

// One process for as long as the machine runs: an id is reused, an id with
// its start time is not.
struct ProcessIdentity {
  uint32_t Id = 0;
  uint64_t Start = 0;
};

// A file that running programs hold so that it cannot be replaced, removed
// or written now, with the programs the system names (none when it names
// none).
struct HeldFile {
  std::string Path;
  std::vector<std::string> Programs;
};

// A program started by StartProgram.
class StartedProgram {
 public:
  virtual ~StartedProgram() = default;
  // The program's exit code when it ended within `milliseconds`; none
  // while it runs.
  virtual std::optional<uint32_t> Wait(uint32_t milliseconds) = 0;
};

class System {
 public:
  virtual ~System() = default;

  virtual FileSystem& Files() = 0;
  // A path holding "$CDDRIVE" (any case) with the first CD-ROM root under
  // which it exists; otherwise the path unchanged.
  virtual std::string ResolveCdDrivePath(const std::string& path) = 0;

  // The string value `name` of root/key (the empty name: the default value).
  // The key is created when missing; a missing value reads as empty; none
  // when the key does not open.
  virtual std::optional<std::string> ReadRegistryString(int root, const std::string& key,
                                                        const std::string& name) = 0;
  // Writes a string value, creating the key when missing.
  virtual RegistryWrite WriteRegistryString(int root, const std::string& key, const std::string& name,
                                            const std::string& value) = 0;

  // Writes a DWORD value, creating the key when missing.
  virtual RegistryWrite WriteRegistryDword(int root, const std::string& key, const std::string& name,
                                           uint32_t value) {
    return RegistryWrite::kValueNotWritten;
  }
  // Deletes one value of a key that is there; false when it stays.
  virtual bool DeleteRegistryValue(int root, const std::string& key, const std::string& name) {
    RegistryValueState gone;
    gone.KeyExisted = true;
    return RestoreRegistryValue(root, key, name, gone);
  }

  // What WriteRegistryString would replace, read without creating anything.
  virtual RegistryValueState QueryRegistryValue(int root, const std::string& key, const std::string& name) {
    return {};
  }
  // Puts a value back as `before` describes: rewritten, or deleted (and its
  // key too when the key was not there and is empty now). False when that failed.
  virtual bool RestoreRegistryValue(int root, const std::string& key, const std::string& name,
                                    const RegistryValueState& before) {
    return false;
  }

  // Writes a shell link shown normally; false when any step failed.
  virtual bool CreateShellLink(const ShellLink& link) = 0;
  // Starts a program or opens a document with its parameters as written,
  // shown normally. Started: true, with the program in *program when the
  // system handed one back (none when the work went to a running program).
  virtual bool StartProgram(const std::string& file, const std::string& parameters,
                            std::unique_ptr<StartedProgram>* program) = 0;

  // Of `paths`, the existing files that running programs hold.
  virtual std::vector<HeldFile> FindHeldFiles(const std::vector<std::string>& paths) { return {}; }
  // Has the system move `from` over `to` at the next restart (remove `from`
  // when `to` is empty). False when it will not.
  virtual bool MoveAtRestart(const std::string& from, const std::string& to) { return false; }

  // This process, and whether a process is still running.
  virtual ProcessIdentity CurrentProcess() { return {}; }
  virtual bool IsProcessRunning(const ProcessIdentity& process) { return false; }
  // Claims an install folder for this process until it ends (or claims
  // another): false when another process holds it, so two runs never work
  // in one folder at once.
  virtual bool ClaimInstallFolder(const std::string& folder) { return true; }
  // Why a file a run is about to act on (a journal found at start, a file
  // set aside) may have been written by a program of lesser rights than this
  // one: a link, a second name of another file, an owner such a program
  // has. "" when it cannot have been.
  virtual std::string WhyNotTrusted(const std::string& path) { return {}; }
};

}  // namespace ferry

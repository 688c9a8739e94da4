// The shell: special folders, starting programs and documents, shell links.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

#include "base/system_path.h"

struct IShellLinkW;

namespace ferry {

inline constexpr int kCsidlPrograms = 2;        // the user's Start menu Programs
inline constexpr int kCsidlProgramFiles = 38;   // Program Files

// A special folder's path without trailing backslash; empty when the shell
// has none.
std::string SpecialFolderPath(int csidl, HWND owner = nullptr);
// The same with a trailing backslash; just "\" when the shell has none.
std::string SpecialFolderDir(int csidl, HWND owner = nullptr);

// Opens a document with the program associated with it (default verb).
bool ShellOpenDocument(const std::string& path, HWND owner = nullptr, int show = SW_SHOWNORMAL);

// A started process; the handle is closed with the object.
class ProcessHandle {
 public:
  explicit ProcessHandle(HANDLE h = nullptr) : h_(h) {}
  ~ProcessHandle();
  ProcessHandle(ProcessHandle&& other) noexcept : h_(other.h_) { other.h_ = nullptr; }
  ProcessHandle& operator=(ProcessHandle&& other) noexcept;
  ProcessHandle(const ProcessHandle&) = delete;
  ProcessHandle& operator=(const ProcessHandle&) = delete;

  bool IsValid() const { return h_ != nullptr; }
  HANDLE Get() const { return h_; }
  // Waits up to `milliseconds` (INFINITE for ever); the exit code when the
  // process ended in that time.
  std::optional<uint32_t> Wait(uint32_t milliseconds = INFINITE) const;

 private:
  HANDLE h_;
};

struct ExecuteArgs {
  std::string File;
  std::string Parameters;
  std::string Directory;
  std::string Verb;  // empty: the default verb
  int Show = SW_SHOWNORMAL;
  HWND Owner = nullptr;
};
// ShellExecuteEx asking for the process handle. Started: true; the handle
// may still be invalid when the shell handed the work to a running program.
bool ShellExecuteWithProcess(const ExecuteArgs& args, ProcessHandle* process);
// The same for a program named in wide characters (any letters), with no
// process handle kept.
bool ShellStartProgram(const NativePath& program, const std::wstring& parameters, int show);

struct ShellLinkArgs {
  std::string LinkPath;  // the .lnk file to write
  std::string Target;
  std::string Arguments;
  std::string WorkingDirectory;
  std::string Description;
  std::string IconPath;
  int IconIndex = 0;
  int ShowCommand = SW_SHOWNORMAL;
};
// Writes a shell link; the caller's thread must have COM initialised
// (ComInit). False when any step fails.
bool CreateShellLink(const ShellLinkArgs& args);
// The same on a link object the caller made and still holds: sets it up
// from args and saves it to args.LinkPath. The object does not take the
// .lnk file as its own: it stays a fresh, unnamed link afterwards.
bool FillAndSaveShellLink(IShellLinkW* link, const ShellLinkArgs& args);

// COM for the calling thread, for its lifetime.
class ComInit {
 public:
  ComInit();
  ~ComInit();
  ComInit(const ComInit&) = delete;
  ComInit& operator=(const ComInit&) = delete;
  bool Ok() const { return ok_; }

 private:
  bool ok_;
};

}  // namespace ferry

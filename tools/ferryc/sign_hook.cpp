#include "sign_hook.h"

#include <cstdio>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/wait.h>
#endif

namespace ferry::tool {

namespace {

std::string Quoted(const std::filesystem::path& file) {
#ifdef _WIN32
  // A Windows path holds no double quote.
  return "\"" + file.string() + "\"";
#else
  std::string quoted = "'";
  for (char c : file.string()) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
#endif
}

#ifdef _WIN32
// cmd.exe with one pipe as both its outputs: no "2>&1" around the line,
// which cmd.exe (and Wine's) reads wrongly after a block that redirects.
SignOutcome RunInterpreter(const std::string& line) {
  SignOutcome outcome;
  SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
  HANDLE readEnd = nullptr, writeEnd = nullptr;
  if (!CreatePipe(&readEnd, &writeEnd, &inheritable, 0)) {
    outcome.Output = "no pipe for the command's output";
    return outcome;
  }
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  si.hStdOutput = writeEnd;
  si.hStdError = writeEnd;
  char system[MAX_PATH] = {};
  GetSystemDirectoryA(system, MAX_PATH);
  const std::string interpreter = std::string(system) + "\\cmd.exe";
  std::string commandLine = "\"" + interpreter + "\" /d /s /c \"" + line + "\"";
  PROCESS_INFORMATION pi = {};
  const BOOL started = CreateProcessA(interpreter.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                      nullptr, &si, &pi);
  CloseHandle(writeEnd);
  if (!started) {
    CloseHandle(readEnd);
    outcome.Output = "the command interpreter could not be started";
    return outcome;
  }
  char buffer[4096];
  DWORD n = 0;
  while (ReadFile(readEnd, buffer, sizeof buffer, &n, nullptr) && n > 0) outcome.Output.append(buffer, n);
  CloseHandle(readEnd);
  WaitForSingleObject(pi.hProcess, INFINITE);
  DWORD code = 1;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  outcome.Ok = code == 0;
  return outcome;
}
#else
// The line in braces, so that "2>&1" takes every part of "a && b".
SignOutcome RunInterpreter(const std::string& line) {
  SignOutcome outcome;
  FILE* pipe = popen(("{ " + line + "\n} 2>&1").c_str(), "r");
  if (!pipe) {
    outcome.Output = "the command interpreter could not be started";
    return outcome;
  }
  char buffer[4096];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) outcome.Output.append(buffer, n);
  const int status = pclose(pipe);
  outcome.Ok = status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  return outcome;
}
#endif

}  // namespace

std::string SignCommandLine(std::string_view command, const std::filesystem::path& file) {
  const std::string quoted = Quoted(file);
  std::string line;
  for (size_t at = 0;;) {
    const size_t found = command.find(kSignFilePlaceholder, at);
    line += command.substr(at, found - at);
    if (found == std::string_view::npos) return line;
    line += quoted;
    at = found + kSignFilePlaceholder.size();
  }
}

SignOutcome RunSignHook(std::string_view command, const std::filesystem::path& file) {
  return RunInterpreter(SignCommandLine(command, file));
}

}  // namespace ferry::tool

#include <windows.h>

#include "base/shell_command.h"

namespace ferry {

// cmd.exe with one pipe as both its outputs: no "2>&1" around the line,
// which cmd.exe (and Wine's) reads wrongly after a block that redirects.
ShellCommandResult RunShellCommand(const std::string& line) {
  ShellCommandResult result;
  SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
  HANDLE readEnd = nullptr, writeEnd = nullptr;
  if (!CreatePipe(&readEnd, &writeEnd, &inheritable, 0)) {
    result.Output = "no pipe for the command's output";
    return result;
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
    result.Output = "the command interpreter could not be started";
    return result;
  }
  char buffer[4096];
  DWORD n = 0;
  while (ReadFile(readEnd, buffer, sizeof buffer, &n, nullptr) && n > 0) result.Output.append(buffer, n);
  CloseHandle(readEnd);
  WaitForSingleObject(pi.hProcess, INFINITE);
  DWORD code = 1;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  result.Ok = code == 0;
  return result;
}

}  // namespace ferry

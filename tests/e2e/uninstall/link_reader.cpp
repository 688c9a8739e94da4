// link_reader.exe LINK
// Loads a .lnk file through the shell's own link object and prints what it
// holds, one field a line, UTF-8:
//   target=...
//   arguments=...
//   workdir=...
//   icon=...,INDEX
//   show=N
// Exit status 0 when the file loaded as a link, 1 when it did not, 2 on
// bad usage.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <cstdio>
#include <string>

namespace {

std::string Utf8(const wchar_t* text) {
  int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (n <= 1) return {};
  std::string out(static_cast<size_t>(n - 1), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), n, nullptr, nullptr);
  return out;
}

void Print(const char* field, const std::string& value) {
  std::string line = std::string(field) + "=" + value + "\n";
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

int ReadLink(const wchar_t* path) {
  IShellLinkW* link = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              reinterpret_cast<void**>(&link))))
    return 1;
  IPersistFile* file = nullptr;
  int rc = 1;
  if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
      SUCCEEDED(file->Load(path, STGM_READ))) {
    wchar_t buffer[MAX_PATH * 2] = {};
    int index = -1, show = -1;
    Print("target", SUCCEEDED(link->GetPath(buffer, MAX_PATH * 2, nullptr, SLGP_RAWPATH)) ? Utf8(buffer) : "");
    buffer[0] = 0;
    Print("arguments", SUCCEEDED(link->GetArguments(buffer, MAX_PATH * 2)) ? Utf8(buffer) : "");
    buffer[0] = 0;
    Print("workdir", SUCCEEDED(link->GetWorkingDirectory(buffer, MAX_PATH * 2)) ? Utf8(buffer) : "");
    buffer[0] = 0;
    if (FAILED(link->GetIconLocation(buffer, MAX_PATH * 2, &index))) buffer[0] = 0;
    Print("icon", Utf8(buffer) + "," + std::to_string(index));
    if (FAILED(link->GetShowCmd(&show))) show = -1;
    Print("show", std::to_string(show));
    rc = 0;
  }
  if (file) file->Release();
  link->Release();
  return rc;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    fputs("usage: link_reader LINK\n", stderr);
    return 2;
  }
  if (FAILED(CoInitialize(nullptr))) return 1;
  int rc = ReadLink(argv[1]);
  CoUninitialize();
  return rc;
}

// version_reader.exe FILE
// Reads a program's version resource the way the file's properties do and
// prints it, one field a line, UTF-8:
//   fixed=A.B.C.D product=A.B.C.D
//   CompanyName=...   FileDescription=...   FileVersion=...
//   ProductName=...   ProductVersion=...
// Exit status 0 when the file has version information, 1 when not, 2 on
// bad usage.
#include <windows.h>

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

void Print(const std::string& line) {
  std::string l = line + "\n";
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), l.data(), static_cast<DWORD>(l.size()), &written, nullptr);
}

std::string Numbers(DWORD ms, DWORD ls) {
  return std::to_string(HIWORD(ms)) + "." + std::to_string(LOWORD(ms)) + "." + std::to_string(HIWORD(ls)) + "." +
         std::to_string(LOWORD(ls));
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    fputs("usage: version_reader FILE\n", stderr);
    return 2;
  }
  DWORD handle = 0;
  DWORD size = GetFileVersionInfoSizeW(argv[1], &handle);
  if (size == 0) return 1;
  std::string data(size, '\0');
  if (!GetFileVersionInfoW(argv[1], 0, size, data.data())) return 1;
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) || length < sizeof(*fixed))
    return 1;
  Print("fixed=" + Numbers(fixed->dwFileVersionMS, fixed->dwFileVersionLS) +
        " product=" + Numbers(fixed->dwProductVersionMS, fixed->dwProductVersionLS));
  struct Translation {
    WORD language, codePage;
  }* translation = nullptr;
  if (!VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length) ||
      length < sizeof(*translation))
    return 1;
  wchar_t block[64];
  swprintf(block, 64, L"\\StringFileInfo\\%04x%04x\\", translation->language, translation->codePage);
  for (const wchar_t* name : {L"CompanyName", L"FileDescription", L"FileVersion", L"ProductName", L"ProductVersion"}) {
    wchar_t* text = nullptr;
    std::wstring path = std::wstring(block) + name;
    if (!VerQueryValueW(data.data(), path.c_str(), reinterpret_cast<void**>(&text), &length)) text = nullptr;
    Print(Utf8(name) + "=" + (text ? Utf8(text) : std::string("(none)")));
  }
  return 0;
}

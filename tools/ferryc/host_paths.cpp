#include "host_paths.h"

#include <system_error>
#include <vector>

#include "base/text.h"
#include "formats/layout/layout_syntax.h"

namespace fs = std::filesystem;

namespace ferry::tool {

namespace {

std::string g_argv0;

std::vector<std::string> SplitComponents(std::string_view text) {
  std::vector<std::string> parts;
  std::string cur;
  for (char c : text) {
    if (c == '\\' || c == '/') {
      if (!cur.empty()) parts.push_back(std::move(cur));
      cur.clear();
    } else {
      cur += c;
    }
  }
  if (!cur.empty()) parts.push_back(std::move(cur));
  return parts;
}

bool HasDrive(std::string_view text) {
  return text.size() >= 2 && text[1] == ':' &&
         ((text[0] >= 'A' && text[0] <= 'Z') || (text[0] >= 'a' && text[0] <= 'z'));
}

}  // namespace

fs::path PathFromAnsi(std::string_view ansi) { return fs::path(CodePageToUtf16(ansi)); }

std::optional<std::string> AnsiFromPath(const fs::path& path) {
  std::u16string wide;
  try {
    wide = path.u16string();
  } catch (const std::exception&) {
    return std::nullopt;  // not valid in the host's encoding
  }
  std::string ansi = CodePageFromUtf16(wide);
  // CodePageFromUtf16 writes '?' for what it cannot hold: compare back.
  if (CodePageToUtf16(ansi) != wide) return std::nullopt;
  return ansi;
}

std::optional<fs::path> ResolveScriptPath(const fs::path& base, std::string_view scriptPath) {
  std::error_code ec;
  fs::path cur;
  std::string_view rest = scriptPath;
  if (HasDrive(rest)) {
#ifdef _WIN32
    cur = PathFromAnsi(rest.substr(0, 2)) / "";
    rest.remove_prefix(2);
#else
    return std::nullopt;  // a Windows drive does not exist here
#endif
  } else if (!rest.empty() && (rest[0] == '/' || rest[0] == '\\')) {
    cur = fs::path("/");
#ifdef _WIN32
    cur = base.root_path();
#endif
  } else {
    cur = base;
  }
  for (const std::string& part : SplitComponents(rest)) {
    if (part == ".") continue;
    if (part == "..") {
      cur = cur.parent_path();
      continue;
    }
    fs::path exact = cur / PathFromAnsi(part);
    if (fs::exists(exact, ec)) {
      cur = exact;
      continue;
    }
    bool found = false;
    for (fs::directory_iterator it(cur.empty() ? fs::path(".") : cur, ec), end; !ec && it != end;
         it.increment(ec)) {
      auto name = AnsiFromPath(it->path().filename());
      if (name && EqualsNoCase(*name, part)) {
        cur = it->path();
        found = true;
        break;
      }
    }
    if (!found) return std::nullopt;
  }
  if (!fs::exists(cur, ec)) return std::nullopt;
  return cur;
}

bool IsContainedName(std::string_view name) {
  if (name.empty() || HasDrive(name) || name[0] == '\\' || name[0] == '/') return false;
  std::string cur;
  for (size_t i = 0; i <= name.size(); ++i) {
    if (i == name.size() || name[i] == '\\' || name[i] == '/') {
      if (cur == "." || cur == ".." || cur.empty()) return false;
      cur.clear();
    } else {
      cur += name[i];
    }
  }
  return true;
}

void SetProgramArgument0(const char* argv0) { g_argv0 = argv0 ? argv0 : ""; }

fs::path CompilerDirectory() {
  std::error_code ec;
#ifndef _WIN32
  fs::path self = fs::read_symlink("/proc/self/exe", ec);
  if (!ec && !self.empty()) return self.parent_path();
#endif
  if (g_argv0.empty()) return fs::current_path(ec);
  fs::path p = fs::absolute(fs::path(g_argv0), ec);
  return ec ? fs::path() : p.parent_path();
}

}  // namespace ferry::tool

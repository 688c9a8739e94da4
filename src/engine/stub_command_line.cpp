#include "engine/stub_command_line.h"

#include "base/text.h"

namespace ferry {

std::vector<std::string> SplitCommandLine(std::string_view line, std::vector<size_t>* ends) {
  std::vector<std::string> pieces;
  if (ends) ends->clear();
  size_t i = 0;
  bool first = true;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    if (i >= line.size()) break;
    std::string piece;
    bool quoted = false;
    if (first) {
      // The program name: quotes group, backslashes are plain characters.
      while (i < line.size() && (quoted || (line[i] != ' ' && line[i] != '\t'))) {
        if (line[i] == '"') quoted = !quoted;
        else piece += line[i];
        ++i;
      }
      first = false;
    } else {
      while (i < line.size() && (quoted || (line[i] != ' ' && line[i] != '\t'))) {
        if (line[i] == '\\') {
          size_t n = 0;
          while (i < line.size() && line[i] == '\\') ++n, ++i;
          if (i < line.size() && line[i] == '"') {
            piece.append(n / 2, '\\');
            if (n % 2) {
              piece += '"';
              ++i;
            }
          } else {
            piece.append(n, '\\');
          }
        } else if (line[i] == '"') {
          if (quoted && i + 1 < line.size() && line[i + 1] == '"') {
            piece += '"';
            ++i;
          } else {
            quoted = !quoted;
          }
          ++i;
        } else {
          piece += line[i++];
        }
      }
    }
    pieces.push_back(std::move(piece));
    if (ends) ends->push_back(i);
  }
  return pieces;
}

namespace {

std::string TrimBlanks(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
  return std::string(s.substr(b, e - b));
}

}  // namespace

StubOptions ParseStubCommandLine(std::string_view line) {
  StubOptions o;
  std::vector<size_t> ends;
  std::vector<std::string> pieces = SplitCommandLine(line, &ends);
  for (size_t k = 1; k < pieces.size(); ++k) {
    const std::string& p = pieces[k];
    o.Params.push_back(p);
    if (StartsWithNoCase(p, "/D=")) {
      // The last switch: an unquoted folder with blanks runs to the end.
      std::string dir = p.substr(3) + std::string(line.substr(ends[k]));
      dir = TrimBlanks(dir);
      if (dir.size() >= 2 && dir.front() == '"' && dir.back() == '"') dir = dir.substr(1, dir.size() - 2);
      o.InstallDir = dir;
      for (size_t j = k + 1; j < pieces.size(); ++j) o.Params.push_back(pieces[j]);
      break;
    }
    if (EqualsNoCase(p, "/S")) {
      o.Silent = true;
    } else if (EqualsNoCase(p, "/DEBUG")) {
      o.Debug = true;
    } else if (EqualsNoCase(p, "/ALLOWDOWNGRADE")) {
      o.AllowDowngrade = true;
    } else if (EqualsNoCase(p, "/ALLUSERS") || EqualsNoCase(p, "/CURRENTUSER")) {
      o.ForAllUsers = EqualsNoCase(p, "/ALLUSERS");
    } else if (EqualsNoCase(p, "/ELEVATED")) {
      o.ElevatedCopy = true;
    } else if (EqualsNoCase(p, "/RESTARTOK")) {
      o.RestartOk = true;
    } else if (StartsWithNoCase(p, "/LOG=")) {
      o.LogFile = p.substr(5);
    } else if (EqualsNoCase(p, "/J")) {
      // Takes the two parameters after it, which the error report masks;
      // neither is the archive.
      for (size_t j = k + 1; j <= k + 2 && j < pieces.size(); ++j) o.Params.push_back(pieces[j]);
      k += 2;
    } else if (p == "/?" || EqualsNoCase(p, "/HELP")) {
      o.Help = true;
    } else if (!p.empty() && p[0] == '/') {
      if (o.UnknownSwitch.empty()) o.UnknownSwitch = p;
    } else if (!p.empty() && p[0] != '/' && o.ArchiveArgument.empty()) {
      o.ArchiveArgument = p;
    }
  }
  return o;
}

std::string UnknownSwitchMessage(std::string_view unknownSwitch) {
  return "Unknown switch \"" + std::string(unknownSwitch) + "\".\n\n" + std::string(kStubUsage);
}

}  // namespace ferry

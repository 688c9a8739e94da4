// ferryc vfs: make, fill, list, read and check VFS archives.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "base/random_access_file.h"
#include "base/setup_error.h"
#include "engine/path_safety.h"
#include "payload_folder.h"
#include "tool_command.h"
#include "formats/vfs/vfs_archive.h"
#include "formats/vfs/vfs_check.h"
#include "base/file_system.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace ferry::tool {

namespace {

const char kUsage[] =
    "usage: ferryc vfs create ARCHIVE [--block-size N] [--blocks N] [--roots N] [--side-file]\n"
    "                         [--description TEXT]\n"
    "       ferryc vfs add ARCHIVE [--full-tree] [--date YYYY-MM-DD] [--dir DIR] [NAME=FILE...]\n"
    "       ferryc vfs ls ARCHIVE\n"
    "       ferryc vfs cat ARCHIVE PATH [--out FILE]\n"
    "       ferryc vfs check ARCHIVE\n"
    "\n"
    "create  a new empty archive (default 4096-byte blocks, 1024 blocks, 64 root slots);\n"
    "        --side-file also writes an empty .ht hash table beside it\n"
    "add     adds or replaces files as a setup does: NAME is the path inside the archive\n"
    "        (\"\\\" separated), FILE the file on disk; --dir adds every file below DIR\n"
    "        under its relative path; --full-tree reads the whole tree and rebuilds the\n"
    "        .ht file instead of updating it record by record\n"
    "ls      the tree: flags (d directory, f file, c compressed), stored and unpacked\n"
    "        size, first block and block count, date, path\n"
    "cat     a file's data (compressed chunks unpacked) to stdout or FILE\n"
    "check   digest, chains, free count against UsedBlocks, compressed contents and the\n"
    "        .ht file; rolls back an interrupted update first. Exit status 1 on errors\n";

uint32_t Number(const std::vector<std::string>& args, size_t& i) {
  if (i + 1 >= args.size()) throw SetupError(args[i] + " needs a value");
  const std::string& v = args[++i];
  size_t used = 0;
  unsigned long long n = 0;
  try {
    n = std::stoull(v, &used, 0);
  } catch (const std::exception&) {  // std::invalid_argument, std::out_of_range
    used = 0;
  }
  if (used != v.size() || n > UINT32_MAX) throw SetupError(args[i - 1] + ": \"" + v + "\" is not a number");
  return static_cast<uint32_t>(n);
}

int Create(const std::vector<std::string>& args) {
  if (args.size() < 2) throw SetupError("create needs an archive path");
  VfsCreateOptions options;
  for (size_t i = 2; i < args.size(); ++i) {
    if (args[i] == "--block-size") options.BlockSize = Number(args, i);
    else if (args[i] == "--blocks") options.BlockCount = Number(args, i);
    else if (args[i] == "--roots") options.RootCount = Number(args, i);
    else if (args[i] == "--side-file") options.SideFile = true;
    else if (args[i] == "--description" && i + 1 < args.size()) options.Description = args[++i];
    else throw SetupError("create: unknown argument " + args[i]);
  }
  CreateVfsArchive(DiskFileSystem(), args[1], options);
  return 0;
}

uint32_t ParseDate(const std::string& text) {
  int y = 0, m = 0, d = 0;
  if (std::sscanf(text.c_str(), "%d-%d-%d", &y, &m, &d) != 3 || y < 1980 || y > 2107 || m < 1 || m > 12 || d < 1 ||
      d > 31)
    throw SetupError("--date: \"" + text + "\" is not a date from 1980-01-01 to 2107-12-31");
  return DosDateTime(y, m, d);
}

int Add(const std::vector<std::string>& args) {
  if (args.size() < 2) throw SetupError("add needs an archive path");
  bool fullTree = false;
  uint32_t date = 0;
  std::vector<std::pair<std::string, std::filesystem::path>> files;
  for (size_t i = 2; i < args.size(); ++i) {
    if (args[i] == "--full-tree") {
      fullTree = true;
    } else if (args[i] == "--date" && i + 1 < args.size()) {
      date = ParseDate(args[++i]);
    } else if (args[i] == "--dir" && i + 1 < args.size()) {
      for (ListedFile& f : ListPayloadFolderOrThrow(args[++i])) files.emplace_back(std::move(f.Name), f.Path);
    } else {
      size_t eq = args[i].find('=');
      if (eq == std::string::npos || eq == 0) throw SetupError("add: expected NAME=FILE, got " + args[i]);
      std::string name = args[i].substr(0, eq);
      // The names become file names when the product unpacks the archive.
      if (std::string why = WindowsNameProblem(name); !why.empty())
        throw SetupError("'" + name + "' cannot be created on Windows: " + why);
      files.emplace_back(name, args[i].substr(eq + 1));
    }
  }
  VfsFile archive(DiskFileSystem());
  if (date) archive.SetToday(date);
  archive.OpenArchive(args[1], fullTree);
  if (archive.Recovered()) std::fprintf(stderr, "rolled back an interrupted update of %s\n", args[1].c_str());
  try {
    for (const auto& [name, path] : files) {
      auto data = ReadFileBytes(path);
      if (data.size() > UINT32_MAX) throw SetupError(path.string() + " is larger than 4 GiB");
      archive.Tree().UpdateFile(name, data.empty() ? nullptr : data.data(), static_cast<uint32_t>(data.size()));
    }
    archive.FlushArchive();
  } catch (...) {
    archive.RollBack();
    throw;
  }
  archive.CloseArchive();
  return 0;
}

std::string Flags(uint32_t flags) {
  std::string s;
  s += (flags & kVfsDirectory) ? 'd' : '-';
  s += (flags & kVfsFile) ? 'f' : '-';
  s += (flags & kVfsCompressed) ? 'c' : '-';
  return s;
}

std::string Date(uint32_t dos) {
  char buf[32];
  uint32_t d = dos >> 16;
  std::snprintf(buf, sizeof buf, "%04u-%02u-%02u", 1980 + (d >> 9), (d >> 5) & 15, d & 31);
  return buf;
}

int List(const std::vector<std::string>& args) {
  if (args.size() != 2) throw SetupError("ls needs exactly an archive path");
  VfsFile archive(DiskFileSystem());
  archive.OpenArchive(args[1], true, {}, VfsAccess::kReadOnly);
  const VfsHeader& h = archive.Header();
  std::printf("block size %u, blocks %u (used %u, free %u), root slots %u\n", h.BlockSize, h.BlockCount,
              h.UsedBlocks, archive.FreeBlockCount(), h.RootCount);
  const VfsTree& tree = archive.Tree();
  std::function<void(int32_t)> show = [&](int32_t n) {
    const auto& node = tree.Node(n);
    const VfsDirRecord& r = *node.Info;
    std::printf("%s %10u %10u %8u %6llu %s %s\n", Flags(r.Flags).c_str(), r.StoredSize, r.UnpackedSize,
                r.FirstBlock, static_cast<unsigned long long>(archive.ChainLength(r.FirstBlock)),
                Date(r.FileDate).c_str(), node.Path.c_str());
    for (int32_t c : node.Children)
      if (c >= 0) show(c);
  };
  for (size_t i = 0; i < tree.SlotCount(); ++i)
    if (tree.InUse(int32_t(i)) && tree.Node(int32_t(i)).Parent < 0) show(int32_t(i));
  return 0;
}

int Cat(const std::vector<std::string>& args) {
  if (args.size() != 3 && !(args.size() == 5 && args[3] == "--out"))
    throw SetupError("cat needs an archive path and a path inside it");
  VfsFile archive(DiskFileSystem());
  archive.OpenArchive(args[1], true, {}, VfsAccess::kReadOnly);
  int32_t node = archive.Tree().FindByPath(args[2]);
  if (node < 0) throw SetupError(args[2] + " is not in " + args[1]);
  const VfsDirRecord& rec = *archive.Tree().Node(node).Info;
  if (!(rec.Flags & kVfsFile)) throw SetupError(args[2] + " is not a file");
  auto content = archive.ReadChain(rec);
  std::vector<uint8_t> data = content ? content->Bytes() : std::vector<uint8_t>();
  if (rec.Flags & kVfsCompressed) data = DecompressChunks(data, rec.UnpackedSize);
  if (args.size() == 5) {
    WriteFileBytes(args[4], data);
    return 0;
  }
#ifdef _WIN32
  _setmode(_fileno(stdout), _O_BINARY);
#endif
  if (!data.empty() && std::fwrite(data.data(), 1, data.size(), stdout) != data.size())
    throw SetupError("cannot write to standard output");
  return 0;
}

int Check(const std::vector<std::string>& args) {
  if (args.size() != 2) throw SetupError("check needs exactly an archive path");
  VfsCheckReport report = CheckVfsArchive(DiskFileSystem(), args[1]);
  if (report.RolledBack) std::printf("rolled back an interrupted update\n");
  for (const auto& w : report.Warnings) std::printf("warning: %s\n", w.c_str());
  for (const auto& e : report.Errors) std::printf("error: %s\n", e.c_str());
  std::printf("%s: %u files, %u directories, %u blocks in use: %s\n", args[1].c_str(), report.Files,
              report.Directories, report.UsedBlocks, report.Ok() ? "sound" : "DAMAGED");
  return report.Ok() ? 0 : 1;
}

int RunVfs(const std::vector<std::string>& args) {
  if (args.empty() || WantsHelp(args)) {
    std::fputs(kUsage, args.empty() ? stderr : stdout);
    return args.empty() ? 2 : 0;
  }
  const std::map<std::string, int (*)(const std::vector<std::string>&)> actions{
      {"create", Create}, {"add", Add}, {"ls", List}, {"cat", Cat}, {"check", Check}};
  auto it = actions.find(args[0]);
  if (it == actions.end()) {
    std::fprintf(stderr, "ferryc vfs: unknown action '%s'\n%s", args[0].c_str(), kUsage);
    return 2;
  }
  return it->second(args);
}

const ToolCommandRegistration kVfs{{"vfs", "create|add|ls|cat|check ...", "make, fill, list and check VFS archives",
                                    RunVfs}};

}  // namespace

}  // namespace ferry::tool

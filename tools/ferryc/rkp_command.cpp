// ferryc rkp: creates, fills, lists, extracts from and checks product
// package archives.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "formats/package/package_format.h"
#include "formats/package/package_storage.h"
#include "base/file_system.h"
#include "formats/package/package_updater.h"
#include "formats/sound/sound_entry.h"
#include "base/random_access_file.h"
#include "base/setup_error.h"
#include "base/text.h"
#include "rkp_sound_decoder.h"
#include "payload_folder.h"
#include "tool_command.h"

namespace ferry::tool {

namespace {

namespace fs = std::filesystem;

constexpr char kUsage[] =
    "usage: ferryc rkp create PACKAGE [--password TEXT] [--official]\n"
    "       ferryc rkp add PACKAGE FOLDER [--password TEXT]\n"
    "       ferryc rkp ls PACKAGE\n"
    "       ferryc rkp cat PACKAGE ENTRY [-o FILE]\n"
    "       ferryc rkp check PACKAGE [--deep]\n"
    "\n"
    "create  writes an empty package (refuses a password above 41 characters)\n"
    "add     adds or replaces every file below FOLDER as an update would;\n"
    "        entry names are the relative paths with backslashes\n"
    "ls      the trailer, then each entry: kind, stored and original size, date,\n"
    "        data offset, name, and which earlier entry it shares data with\n"
    "cat     an entry's file bytes: unscrambled and inflated, or a sound entry\n"
    "        decoded back to a WAV file (stdout unless -o)\n"
    "check   header, directory and every entry's bytes within the data area;\n"
    "        --deep also unpacks every entry\n";

struct Options {
  std::vector<std::string> Positional;
  std::map<std::string, std::string> Values;
  std::vector<std::string> Flags;
  bool Flag(const std::string& f) const { return std::find(Flags.begin(), Flags.end(), f) != Flags.end(); }
};

Options ParseOptions(const std::vector<std::string>& args, size_t from) {
  Options o;
  for (size_t i = from; i < args.size(); ++i) {
    const std::string& a = args[i];
    if ((a == "--password" || a == "-o") && i + 1 < args.size()) {
      o.Values[a] = args[++i];
    } else if (a.rfind("--", 0) == 0) {
      if (a == "--password" || a == "-o") throw SetupError(a + " needs a value");
      o.Flags.push_back(a);
    } else {
      o.Positional.push_back(a);
    }
  }
  return o;
}

const char* TrailerName(const PackageTrailer& t) {
  switch (t.Form) {
    case PackageTrailerForm::kNone: return "none";
    case PackageTrailerForm::kRkp2: return "RKP2";
    case PackageTrailerForm::kRkp3: return t.BlockTag == "EIH2" ? "RKP3/EIH2" : t.BlockTag == "EIH1" ? "RKP3/EIH1" : "RKP3";
  }
  return "?";
}

const char* KindName(uint8_t kind) {
  return kind == kSoundEntryKind ? "sound" : kind == kZlibEntryKind ? "zlib" : "other";
}

PackageTail ReadTailOrThrow(RandomAccessFile& file, const std::string& path) {
  PackageTail tail = ReadPackageTail(file);
  if (tail.Status != PackageReadStatus::kOk) {
    std::string hint = fs::exists(TailBackupPath(path))
                           ? " (an update was interrupted: the next update puts the package back from " +
                                 TailBackupPath(path) + ")"
                           : "";
    throw SetupError(path + ": " + tail.Problem + hint);
  }
  return tail;
}

std::unique_ptr<RandomAccessFile> OpenOrThrow(const std::string& path) {
  auto f = OpenDiskFile(path, FileMode::kRead);
  if (!f) throw SetupError("cannot open " + path);
  return f;
}

// ---- create ---------------------------------------------------------------

int Create(const Options& o) {
  if (o.Positional.size() != 1) throw SetupError("create needs PACKAGE");
  PackageExtraInfo info;
  if (auto it = o.Values.find("--password"); it != o.Values.end()) info.Password = it->second;
  if (info.Password.size() > kMaxPackagePasswordLength)
    throw SetupError("a package password is at most " + std::to_string(kMaxPackagePasswordLength) +
                     " characters long");
  info.HasPassword = !info.Password.empty();
  info.Official = o.Flag("--official");
  auto bytes = BuildPackageTail({}, info, 0, 2, 2);
  WriteFileBytes(o.Positional[0], bytes);
  return 0;
}

// ---- add ------------------------------------------------------------------

class FolderSource : public SetupEntrySource {
 public:
  // The names become file names when the product unpacks the package.
  explicit FolderSource(const fs::path& root) {
    for (ListedFile& f : ListPayloadFolderOrThrow(root)) {
      if (f.Size >= (uint64_t{1} << 32)) throw SetupError(f.Path.string() + " is 4 GiB or larger");
      files_.push_back({std::move(f.Name), f.Path, static_cast<uint32_t>(f.Size)});
    }
  }
  std::vector<size_t> GroupEntries(uint16_t) override {
    std::vector<size_t> v(files_.size());
    for (size_t i = 0; i < v.size(); ++i) v[i] = i;
    return v;
  }
  std::string EntryName(size_t i) override { return files_[i].Name; }
  uint32_t EntryOrigSize(size_t i) override { return files_[i].Size; }
  std::optional<std::vector<uint8_t>> LoadEntry(size_t i) override { return ReadFileBytes(files_[i].Path); }

 private:
  struct File {
    std::string Name;
    fs::path Path;
    uint32_t Size;
  };
  std::vector<File> files_;
};

int Add(const Options& o) {
  if (o.Positional.size() != 2) throw SetupError("add needs PACKAGE and FOLDER");
  fs::path package = fs::absolute(o.Positional[0]);
  FolderSource source(o.Positional[1]);
  std::string password;
  if (auto it = o.Values.find("--password"); it != o.Values.end()) password = it->second;
  FileSystem& files = DiskFileSystem();
  PackageUpdaterHost host;
  host.Files = &files;
  PackageUpdater system(host);
  try {
    system.UpdatePackage(source, 1, package.parent_path().string(), package.filename().string(), password);
  } catch (const SetupError& e) {
    // The package system's texts break lines with a bare carriage return.
    std::string text = e.what();
    std::replace(text.begin(), text.end(), '\r', ' ');
    throw SetupError(text);
  }
  const auto& s = system.Stats();
  if (s.Recovery == TailRecovery::kRestored)
    std::printf("put back from an interrupted update first\n");
  std::printf("%zu written, %zu unchanged, %zu skipped, %llu bytes appended\n", s.Written, s.Unchanged, s.Skipped,
              static_cast<unsigned long long>(s.BytesWritten));
  return 0;
}

// ---- ls -------------------------------------------------------------------

int List(const Options& o) {
  if (o.Positional.size() != 1) throw SetupError("ls needs PACKAGE");
  const std::string& path = o.Positional[0];
  auto file = OpenOrThrow(path);
  PackageTail tail = ReadTailOrThrow(*file, path);
  const auto& t = tail.Trailer;
  std::printf("trailer: %s", TrailerName(t));
  if (t.Form == PackageTrailerForm::kRkp3 && !t.BlockTag.empty())
    std::printf(", key parameters %u %u", t.KeyParam1, t.KeyParam2);
  std::printf("\npassword: %s\nofficial: %s\nentries: %zu\ndirectory at: %llu\n",
              t.Info.HasPassword ? "set" : "none", t.Info.Official ? "yes" : "no", tail.Entries.size(),
              static_cast<unsigned long long>(tail.CutPosition));
  std::printf("%-5s %10s %10s %-19s %10s  %s\n", "kind", "stored", "size", "date", "offset", "name");
  std::map<std::pair<uint32_t, uint32_t>, std::string> firstUser;
  for (const auto& e : tail.Entries) {
    std::printf("%-5s %10u %10u %-19s %10u  %s", KindName(e.Kind), e.StoredSize, e.OrigSize,
                FormatDosDateTime(e.FileDate).c_str(), e.DataOffset, e.Name.c_str());
    auto key = std::make_pair(e.DataOffset, e.StoredSize);
    auto [it, fresh] = firstUser.emplace(key, e.Name);
    if (!fresh) std::printf("  (shares data with %s)", it->second.c_str());
    std::printf("\n");
  }
  return 0;
}

// ---- cat ------------------------------------------------------------------

std::vector<uint8_t> EntryBytes(RandomAccessFile& file, const PackageTail& tail, const PackageEntry& e) {
  if (uint64_t{e.DataOffset} + e.StoredSize > tail.CutPosition)
    throw SetupError(e.Name + ": stored bytes run past the data area");
  auto stored = file.ReadVector(e.DataOffset, e.StoredSize);
  if (stored.size() != e.StoredSize) throw SetupError(e.Name + ": cannot read the stored bytes");
  if (e.Kind == kZlibEntryKind) {
    std::vector<uint8_t> out;
    if (!UnpackZlibEntry(stored, e.OrigSize, out)) throw SetupError(e.Name + ": data do not unpack");
    return out;
  }
  if (e.Kind == kSoundEntryKind) return SoundEntryToWav(stored);
  throw SetupError(e.Name + ": unknown kind " + std::to_string(e.Kind));
}

int Cat(const Options& o) {
  if (o.Positional.size() != 2) throw SetupError("cat needs PACKAGE and ENTRY");
  const std::string& path = o.Positional[0];
  auto file = OpenOrThrow(path);
  PackageTail tail = ReadTailOrThrow(*file, path);
  std::string wanted = CodePageLower(o.Positional[1]);
  auto it = std::find_if(tail.Entries.begin(), tail.Entries.end(),
                         [&](const PackageEntry& e) { return CodePageLower(e.Name) == wanted; });
  if (it == tail.Entries.end()) throw SetupError("no entry " + o.Positional[1] + " in " + path);
  auto bytes = EntryBytes(*file, tail, *it);
  if (auto out = o.Values.find("-o"); out != o.Values.end()) {
    WriteFileBytes(out->second, bytes);
    return 0;
  }
#ifdef _WIN32
  _setmode(_fileno(stdout), _O_BINARY);
#endif
  if (std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size()) throw SetupError("cannot write stdout");
  return 0;
}

// ---- check ----------------------------------------------------------------

int Check(const Options& o) {
  if (o.Positional.size() != 1) throw SetupError("check needs PACKAGE");
  const std::string& path = o.Positional[0];
  auto file = OpenOrThrow(path);
  PackageTail tail = ReadTailOrThrow(*file, path);
  size_t problems = 0;
  auto report = [&](const std::string& what) {
    std::printf("%s\n", what.c_str());
    ++problems;
  };
  if (fs::exists(TailBackupPath(path)))
    report("side file " + TailBackupPath(path) + " present: an update was interrupted");
  std::map<std::string, size_t> seen;
  for (size_t i = 0; i < tail.Entries.size(); ++i) {
    const auto& e = tail.Entries[i];
    std::string where = "entry " + std::to_string(i) + " (" + e.Name + "): ";
    bool known = e.Kind == kSoundEntryKind || e.Kind == kZlibEntryKind;
    bool inRange = uint64_t{e.DataOffset} + e.StoredSize <= tail.CutPosition;
    if (!known) report(where + "unknown kind " + std::to_string(e.Kind));
    if (!inRange) report(where + "stored bytes run past the data area");
    // Lookups find the first of two equal names; not damage in itself.
    if (!seen.emplace(CodePageLower(e.Name), i).second) std::printf("%sname listed before\n", where.c_str());
    if (o.Flag("--deep") && known && inRange) {
      try {
        auto bytes = EntryBytes(*file, tail, e);
        if (e.Kind == kZlibEntryKind && bytes.size() != e.OrigSize) report(where + "unpacked size differs");
      } catch (const SetupError& err) {
        report(err.what());
      }
    }
  }
  if (problems) return 1;
  std::printf("ok: %s, %zu entries, trailer %s\n", path.c_str(), tail.Entries.size(), TrailerName(tail.Trailer));
  return 0;
}

int RunRkp(const std::vector<std::string>& args) {
  if (args.empty() || WantsHelp(args)) {
    std::fputs(kUsage, args.empty() ? stderr : stdout);
    return args.empty() ? 2 : 0;
  }
  Options o = ParseOptions(args, 1);
  const std::string& verb = args[0];
  if (verb == "create") return Create(o);
  if (verb == "add") return Add(o);
  if (verb == "ls") return List(o);
  if (verb == "cat") return Cat(o);
  if (verb == "check") return Check(o);
  std::fprintf(stderr, "ferryc rkp: unknown action '%s'\n%s", verb.c_str(), kUsage);
  return 2;
}

const ToolCommandRegistration kRkp{{"rkp", "ACTION PACKAGE ...", "create, fill, list, extract, check packages", RunRkp}};

}  // namespace

}  // namespace ferry::tool

#include "platform/uninstall/uninstaller_file.h"

#include <windows.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "base/byte_reader.h"
#include "base/path_text.h"
#include "base/random_access_file.h"
#include "base/random_name.h"
#include "base/scope_guard.h"
#include "base/setup_error.h"
#include "base/system_path.h"
#include "base/text.h"
#include "base/text_helpers.h"
#include "engine/product_identity.h"
#include "engine/setup_context.h"
#include "engine/system.h"
#include "formats/pak/pak_reader.h"
#include "formats/pak/pak_writer.h"
#include "formats/pak/pe_image.h"
#include "formats/setup/carried_uninstaller.h"
#include "platform/files.h"
#include "platform/private_folder.h"
#include "platform/win_text.h"

namespace ferry {

namespace {


// Files are copied through a buffer of this size, never read whole.
constexpr size_t kCopyBufferBytes = 64u << 10;

// Copies `size` bytes from the start of `from` to the start of `to`; false
// on a short read. Throws SetupError when `to` cannot be written.
bool CopyBytes(RandomAccessFile& from, RandomAccessFile& to, uint64_t size) {
  std::vector<uint8_t> buffer(static_cast<size_t>(std::min<uint64_t>(size, kCopyBufferBytes)));
  for (uint64_t done = 0; done < size;) {
    std::span<uint8_t> part(buffer.data(), static_cast<size_t>(std::min<uint64_t>(buffer.size(), size - done)));
    if (from.ReadAt(done, part) != part.size()) return false;
    to.WriteAt(done, part);
    done += part.size();
  }
  return true;
}

// Where the running program's host part ends: before its own archive (all
// of it but a certificate table when it carries none), found from the
// archive's trailer alone. 0 when unknown.
uint64_t HostPartSize(RandomAccessFile& program) {
  uint64_t size = PeAppendedDataEnd(program).value_or(program.Size());
  std::optional<PakTrailer> own = ReadPakTrailer(program);
  if (own && own->DataStart <= size) size = own->DataStart;
  return size;
}

// The running program's host part copied into `built`, as an unsigned
// program: a signed setup's security directory points at a table the copy
// does not carry. False when the program could not be read.
bool CopyHostPart(RandomAccessFile& program, const NativePath& built) {
  const uint64_t size = HostPartSize(program);
  std::unique_ptr<RandomAccessFile> out = OpenDiskFile(built, FileMode::kReadWrite);
  if (size == 0 || !out || !CopyBytes(program, *out, size)) return false;
  PeClearSecurityEntry(*out);
  return true;
}

void PutIcon(SetupContext& ctx, const NativePath& program) {
  const std::vector<PakFile>& files = ctx.Pak->Files();
  for (size_t i = 0; i < files.size(); ++i) {
    if (files[i].Group != 0 || !EqualsNoCase(files[i].Name, kUninstallIconEntry)) continue;
    std::optional<std::vector<uint8_t>> icon = ctx.Pak->LoadEntry(i);
    if (!icon || !ReplaceIcon(*icon, program)) ctx.Record.NotDone("The uninstaller's icon could not be set.");
  }
}

// The finished uninstaller (or its side file) put into the install folder
// through the run's files: written under a random scratch name there,
// created new, and renamed over the target by its handle (what was there
// set aside by the run's journal), so no link at either name is followed and
// no half-written uninstaller ever carries the name.
// `write` puts the bytes into the new file; false when it could not read
// them (`why` then says so).
bool PlaceNewFile(FileSystem& files, const std::function<bool(RandomAccessFile&)>& write, const std::string& program,
                  std::string& why) {
  const std::string folder = FolderOf(program, "\\");
  try {
    std::unique_ptr<StagedFile> staged = files.CreateStaged(RandomScratchPath(folder), program);
    if (!staged) {
      why = "no new file could be created beside it";
      return false;
    }
    if (!write(staged->File())) return false;
    if (staged->Place()) return true;
    why = "it could not replace the file there (in use by a running program?)";
  } catch (const SetupError& e) {
    why = e.what();
  }
  return false;
}

// A PlaceNewFile writer of bytes held in memory.
std::function<bool(RandomAccessFile&)> WriteWhole(const std::vector<uint8_t>& bytes) {
  return [&bytes](RandomAccessFile& out) {
    out.WriteAt(0, bytes);
    return true;
  };
}

// The setup's product information with the registration this install
// made: its key name (a side-by-side install's own) and its scope, so the
// uninstaller removes that one and asks for rights only where it must.
ProductInformation UninstallerProductInfo(const SetupContext& ctx) {
  ProductInformation product = ctx.Product.value_or(ProductInformation{});
  const ProductIdentity identity = IdentityOf(ctx);
  product.ProductId = identity.KeyName(ctx.ExpandPathVars(ctx.SetupInfo.InstallDir));
  product.SideBySide = false;
  product.Scope = identity.ForUser ? InstallScope::kUser : InstallScope::kMachine;
  return product;
}

// What this install decided, for its uninstaller: the product information
// and a copy of the setup information marked as an uninstaller's (the
// running setup keeps its own flag at 0).
void StoreInstallRecords(const SetupContext& ctx, PakWriter& writer) {
  writer.StoreBuffer(writer.AddEntry(kProductInfoEntry, "", 0), WriteProductInfo(UninstallerProductInfo(ctx)));
  writer.StoreBuffer(writer.AddEntry("SetupInfo", "", 0), UninstallerSetupInfo(ctx.SetupInfo.Info()));
}

void AppendUninstallerArchive(SetupContext& ctx, const NativePath& program) {
  PakWriter writer = PakWriter::Append(program);
  const std::vector<PakFile> files = ctx.Pak->Files();
  for (size_t i = 0; i < files.size(); ++i) {
    const PakFile& e = files[i];
    const std::optional<std::string> name = UninstallerEntryName(e.Name, e.Group);
    if (!name) continue;
    std::optional<std::vector<uint8_t>> data = ctx.Pak->LoadEntry(i);
    size_t index = writer.AddEntry(*name, "", 0);
    if (data) writer.StoreBuffer(index, *data);
  }
  StoreInstallRecords(ctx, writer);
  writer.WriteDirectory();
  writer.Close();
}

// The uninstaller the setup carries, signed when it was compiled, written as
// it is; what this install decided goes into the side file beside it.
void WriteCarriedUninstaller(SetupContext& ctx, System& system, const std::vector<uint8_t>& carried) {
  const std::string program = UninstallerPath(ctx);
  MemoryFile records;
  PakWriter writer = PakWriter::Create(records);
  StoreInstallRecords(ctx, writer);
  writer.WriteDirectory();
  writer.Close();
  // The side file first: a run stopped between the two leaves no uninstaller
  // that cannot start, only a side file the run's undo takes away.
  const std::string side = UninstallSideFilePath(program);
  std::string why;
  if (!PlaceNewFile(system.Files(), WriteWhole(records.Data()), side, why)) {
    ctx.Record.FileNotWritten(side, why);
    return;
  }
  if (!PlaceNewFile(system.Files(), WriteWhole(carried), program, why)) ctx.Record.FileNotWritten(program, why);
}

}  // namespace

std::string UninstallerPath(const SetupContext& ctx) {
  return IncludeTrailingBackslash(ctx.SetupInfo.InstallDir) + ctx.SetupInfo.UninstallExeName;
}

void WriteUninstaller(SetupContext& ctx, System& system, PrivateFolder& temp) {
  if (std::optional<std::vector<uint8_t>> carried = ctx.Pak->LoadByName(kCarriedUninstallerEntry, 0)) {
    WriteCarriedUninstaller(ctx, system, *carried);
    return;
  }
  const NativePath own = OwnProgramPath();
  const std::string program = UninstallerPath(ctx);
  std::unique_ptr<RandomAccessFile> running = OpenDiskFile(own, FileMode::kRead);
  const std::string unreadable = "the running program \"" + PathText(own) + "\" could not be read";
  if (!running) {
    ctx.Record.FileNotWritten(program, unreadable);
    return;
  }
  // Built where no other program can open it between the steps that open
  // it by name (the icon's resource update, the archive, the checksum).
  const NativePath built = temp.WriteNewFile(L"uninstall.exe", {});
  if (built.empty()) {
    ctx.Record.FileNotWritten(program, "the uninstaller could not be built in the run's private folder");
    return;
  }
  ScopeGuard dropBuilt([&built] { DeleteFileW(built.c_str()); });
  if (!CopyHostPart(*running, built)) {
    ctx.Record.FileNotWritten(program, unreadable);
    return;
  }
  running.reset();
  // A resource update rewrites the file, so the icon goes in before the
  // archive is appended.
  PutIcon(ctx, built);
  try {
    AppendUninstallerArchive(ctx, built);
    // The header's CheckSum, cleared with the signature, for the finished file.
    if (std::unique_ptr<RandomAccessFile> file = OpenDiskFile(built, FileMode::kReadWrite))
      PeWriteCheckSum(*file);
  } catch (const SetupError& e) {
    ctx.Record.FileNotWritten(program, std::string("the uninstaller's archive could not be written: ") + e.what());
    return;
  }
  std::unique_ptr<RandomAccessFile> finished = OpenDiskFile(built, FileMode::kRead);
  if (!finished) {
    ctx.Record.FileNotWritten(program, "Cannot open " + PathText(built));
    return;
  }
  std::string why;
  auto copy = [&](RandomAccessFile& out) {
    if (CopyBytes(*finished, out, finished->Size())) return true;
    why = "Cannot read " + PathText(built);
    return false;
  };
  if (!PlaceNewFile(system.Files(), copy, program, why)) ctx.Record.FileNotWritten(program, why);
}

bool ReplaceIcon(std::span<const uint8_t> iconFile, const NativePath& programFile) {
  ByteReader r(iconFile);
  r.Skip(6);
  std::span<const uint8_t> entry = r.Bytes(16);
  if (r.Failed()) return false;
  ByteReader e(entry);
  e.Skip(8);
  const uint32_t size = e.U32();
  const uint32_t offset = e.U32();
  if (size == 0 || offset > iconFile.size() || size > iconFile.size() - offset) return false;
  std::vector<uint8_t> image(iconFile.begin() + offset, iconFile.begin() + offset + size);

  // Does the program name an icon group already? Then it names image 1.
  bool hasGroup = false;
  if (HMODULE module = LoadLibraryExW(programFile.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE)) {
    hasGroup = FindResourceW(module, MAKEINTRESOURCEW(1), RT_GROUP_ICON) != nullptr;
    FreeLibrary(module);
  }
  HANDLE update = BeginUpdateResourceW(programFile.c_str(), FALSE);
  if (!update) return false;
  const WORD neutral = MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL);
  bool ok = UpdateResourceW(update, RT_ICON, MAKEINTRESOURCEW(1), neutral, image.data(),
                            static_cast<DWORD>(image.size())) != FALSE;
  if (ok && !hasGroup) {
    // Icon directory: reserved 0, type 1, one entry: the icon file's entry
    // with its last field (the file offset) replaced by a u16 resource id.
    std::vector<uint8_t> group = {0, 0, 1, 0, 1, 0};
    group.insert(group.end(), entry.begin(), entry.begin() + 12);
    group.push_back(1);
    group.push_back(0);
    ok = UpdateResourceW(update, RT_GROUP_ICON, MAKEINTRESOURCEW(1), neutral, group.data(),
                         static_cast<DWORD>(group.size())) != FALSE;
  }
  return EndUpdateResourceW(update, ok ? FALSE : TRUE) != FALSE && ok;
}

}  // namespace ferry

#include "formats/setup/setup_info.h"

#include "base/random_access_file.h"
#include "base/setup_error.h"
#include "formats/setup/buffer_manager.h"

namespace ferry {

SetupInfoRecord CompilerDefaultSetupInfo() {
  SetupInfoRecord info;
  info.UninstallExeName = "Uninstall.exe";
  return info;
}

void SetupInfoFile::ReadFromBuffer(const void* data, size_t size) {
  BufferManager buffer(data, size);
  SetupTitle = ReadLenString(buffer);
  ShortTitle = ReadLenString(buffer);
  SetupExeName = ReadLenString(buffer);
  UninstallExeName = ReadLenString(buffer);
  UninstallPrefix = ReadLenString(buffer);
  InstallDir = ReadLenString(buffer);
  ChangelogName = ReadLenString(buffer);
  InstallDirRegKey.RootKey = buffer.ReadByte();
  InstallDirRegKey.Key = ReadLenString(buffer);
  InstallDirRegKey.ValueName = ReadLenString(buffer);
  PageSet = ReadLenString(buffer);
  UninstallPageSet = ReadLenString(buffer);
  IsUninstaller = buffer.ReadByte();
  MakeUninstaller = buffer.ReadByte();
}

std::vector<uint8_t> SetupInfoFile::WriteToBuffer() const {
  ByteWriter w;
  for (const std::string* s : {&SetupTitle, &ShortTitle, &SetupExeName, &UninstallExeName, &UninstallPrefix,
                               &InstallDir, &ChangelogName})
    WriteLenString(w, *s);
  w.U8(InstallDirRegKey.RootKey);
  for (const std::string* s : {&InstallDirRegKey.Key, &InstallDirRegKey.ValueName, &PageSet, &UninstallPageSet})
    WriteLenString(w, *s);
  w.U8(IsUninstaller);
  w.U8(MakeUninstaller);
  return w.Take();
}

bool SetupInfoFile::WriteToFile(const NativePath& path) const {
  std::vector<uint8_t> bytes = WriteToBuffer();
  auto file = OpenDiskFile(path, FileMode::kCreate);
  if (!file) return false;
  try {
    file->WriteAt(0, bytes);
  } catch (const SetupError&) {
    return false;
  }
  return true;
}

}  // namespace ferry

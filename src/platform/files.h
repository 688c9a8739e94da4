// Files, folders and drives. Paths are 8-bit texts in the system code page;
// the wide-character calls happen inside.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/drive_type.h"
#include "base/file_system.h"
#include "base/system_path.h"

namespace ferry {

inline constexpr uint32_t kInvalidFileAttributes = 0xFFFFFFFFu;

// The attribute bits, or kInvalidFileAttributes when the path does not exist.
uint32_t FileAttributesOf(const std::string& path);
bool SetFileAttributesOf(const std::string& path, uint32_t attributes);
// The calls below go to WinFiles() (platform/win_file_system.h), kept for
// the platform's own helpers and tests.
bool FileExists(const std::string& path);       // exists and is not a folder
bool DirectoryExists(const std::string& path);  // exists and is a folder
bool CopyFileTo(const std::string& from, const std::string& to, bool failIfExists);
bool DeleteFileAt(const std::string& path);
bool CreateDirectoryAt(const std::string& path);
bool RemoveDirectoryAt(const std::string& path);

// The drive roots ("C:\", "D:\", ...) in the order the system lists them.
// The list must fit `bufferChars` characters (terminators included), else
// SetupError with the system's text for "not enough storage" (code 14).
std::vector<std::string> LogicalDriveRoots(size_t bufferChars = 129);

DriveType DriveTypeOf(const std::string& root);
// Free bytes available to this user on the drive holding `path` ("C:\").
std::optional<uint64_t> FreeDiskBytes(const std::string& path);

// The temporary folder as the system reports it, with its trailing backslash.
std::string TempFolder();
// The same in wide characters: it may hold letters the code page lacks.
std::wstring TempFolderWide();
// The full path of the running program, which any folder may hold.
NativePath OwnProgramPath();

// Root of the first CD-ROM drive ("D:\"), or empty when there is none.
std::string FindCdDrive();
// A path holding "$CDDRIVE" (any case) is tried with each CD-ROM root in
// turn; the first candidate that exists is returned, else the path unchanged.
std::string ResolveCdDrivePath(const std::string& path);

// The file's folder through ForceDirectories (base/file_system.h), then the file created or truncated with the
// data. Silent on failure; returns whether the whole file was written.
bool WriteFileCreatingDirs(const std::string& path, std::span<const uint8_t> data,
                           const DirectoryCreatedFn& created);
// The whole file. Throws SetupError when the file cannot be opened to learn
// its length; none when the second, unshared open for reading fails.
std::optional<std::vector<uint8_t>> ReadWholeFile(const std::string& path);

}  // namespace ferry

// Paths as the system's file calls take them. The program's paths are 8-bit
// texts in the system code page; on Windows they reach the file calls as
// wide characters, and in the long form ("\\?\C:\..." or
// "\\?\UNC\server\share\...") once they are long enough to need it.
#pragma once

#include <concepts>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace ferry {

// A path in the form the file calls take: wide characters on Windows, bytes
// elsewhere. It holds the text and nothing else, so the stub links none of
// std::filesystem; tools and tests hand it std::filesystem paths (or what
// such a path is made from), through the template below, which only they
// instantiate.
class NativePath {
 public:
#ifdef _WIN32
  using value_type = wchar_t;  // NOLINT(readability-identifier-naming)
#else
  using value_type = char;  // NOLINT(readability-identifier-naming)
#endif
  using string_type = std::basic_string<value_type>;  // NOLINT(readability-identifier-naming)

  NativePath() = default;
  NativePath(string_type text) : text_(std::move(text)) {}
  NativePath(const value_type* text) : text_(text) {}
  template <class Source>
    requires std::constructible_from<std::filesystem::path, const Source&>
  NativePath(const Source& source) : text_(std::filesystem::path(source).native()) {}
  operator std::filesystem::path() const { return std::filesystem::path(text_); }

  const string_type& native() const { return text_; }  // NOLINT(readability-identifier-naming)
  const value_type* c_str() const { return text_.c_str(); }  // NOLINT(readability-identifier-naming)
  bool empty() const { return text_.empty(); }  // NOLINT(readability-identifier-naming)
  friend bool operator==(const NativePath&, const NativePath&) = default;

 private:
  string_type text_;
};

// From an 8-bit path in the system code page (Linux: the bytes as they are).
NativePath SystemPath(std::string_view codePagePath);
// From a setup's own path ("\" separators): SystemPath on Windows; on
// other hosts "\" is taken as "/" so the same paths work in tools and tests.
NativePath HostPath(std::string_view setupPath);
// From UTF-8 (the command line's pieces).
NativePath PathFromUtf8(std::string_view utf8);
// The long form of a path that needs it (from kLongFormFrom characters, the
// folder-name limit of the system), made absolute and normalised as the
// system would; every other path as it is. Linux: always as it is.
NativePath LongFormPath(NativePath path);
inline constexpr size_t kLongFormFrom = 248;
// For messages: the path in the system code page.
std::string PathText(const NativePath& path);

// The file-system calls of the portable layers, on the long form (the C
// runtime's status calls do not take it on every Windows). Each false when
// the change did not happen.
enum class PathKind { kMissing, kFile, kFolder };
PathKind KindOfPath(const NativePath& path);
// One folder; true when this call created it. An existing folder or file
// is no error (the caller asks KindOfPath).
bool CreateOneFolder(const NativePath& path, std::error_code& ec);
bool DeleteFileAtPath(const NativePath& path);
// An empty folder.
bool RemoveFolderAtPath(const NativePath& path);
// Renames or moves a file; an existing target file is replaced.
bool RenamePath(const NativePath& from, const NativePath& to);
bool CopyFileAtPath(const NativePath& from, const NativePath& to, bool failIfExists);
// The read-only mark (Linux: no write permission for the owner); false for
// a missing path.
bool HasReadOnlyMark(const NativePath& path);
bool ClearReadOnlyMark(const NativePath& path);

// What a folder holds, without "." and "..": names in the system code page.
struct FolderItem {
  std::string Name;
  bool IsFolder = false;
  bool IsReadOnly = false;
  uint64_t Size = 0;  // files only
};
std::vector<FolderItem> ListFolder(const NativePath& folder);

}  // namespace ferry

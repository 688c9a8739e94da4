// The install-directory folder tree: the drives and their folders, each
// level read when it is first opened, with the shell's icons. It reports
// the file-system path of the selected folder.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

namespace ferry {

struct TFolderTreeArgs {
  HWND parent = nullptr;
  int left = 0, top = 0, width = 121, height = 97;
  UINT id = 0;
};

class TFolderTree {
 public:
  explicit TFolderTree(const TFolderTreeArgs& args);
  HWND Handle() const { return hwnd_; }

  // Opens the way to `dir` ("C:\Program Files\") and selects the deepest
  // folder of it that exists; with expand, opens that folder too.
  void Select(const std::string& dir, bool expand);
  // File-system path of the selected folder, with a trailing backslash;
  // empty when nothing is selected.
  std::string SelectedPath() const;
  // The parent's WM_NOTIFY for this tree; true when the selection changed.
  bool HandleNotify(const NMHDR* header);

 private:
  HTREEITEM AddItem(HTREEITEM parent, const std::wstring& path, const std::wstring& label);
  void Fill(HTREEITEM item);
  HTREEITEM FindChild(HTREEITEM parent, const std::wstring& path);

  HWND hwnd_ = nullptr;
  std::vector<std::wstring> paths_;  // item lParam indexes this
  std::vector<bool> filled_;
};

}  // namespace ferry

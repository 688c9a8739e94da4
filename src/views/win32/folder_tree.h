// The install-directory folder tree over the shell namespace: Desktop, My
// Computer, the drives and their folders, each level read from the shell
// when it is first opened, with the shell's names and icons. It reports the
// file-system path of the selected folder; items without one (My Computer,
// the network) report none.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <string>
#include <vector>

namespace ferry {

struct FolderTreeArgs {
  HWND Parent = nullptr;
  int Left = 0, Top = 0, Width = 121, Height = 97;
  UINT Id = 0;
};

class FolderTree {
 public:
  explicit FolderTree(const FolderTreeArgs& args);
  ~FolderTree();
  FolderTree(const FolderTree&) = delete;
  FolderTree& operator=(const FolderTree&) = delete;

  HWND Handle() const { return hwnd_; }

  // Opens the way to `dir` ("C:\Program Files\") and selects the deepest
  // item on it; with expand, opens that item too.
  void Select(const std::string& dir, bool expand);
  // File-system path of the selected item, with a trailing backslash;
  // empty when nothing is selected or the item is not a file-system folder.
  std::u16string SelectedPath() const;
  // The parent's WM_NOTIFY for this tree; true when the selection changed.
  bool HandleNotify(const NMHDR* header);

 private:
  struct Node {
    PIDLIST_ABSOLUTE Pidl = nullptr;  // owned
    bool Filled = false;
  };

  HTREEITEM AddItem(HTREEITEM parent, PIDLIST_ABSOLUTE pidl, const std::wstring& label, bool hasChildren);
  void Fill(HTREEITEM item);
  Node* NodeOf(HTREEITEM item) const;
  HTREEITEM ChildOnWayTo(HTREEITEM parent, PCIDLIST_ABSOLUTE target);

  HWND hwnd_ = nullptr;
  IShellFolder* desktop_ = nullptr;
  PIDLIST_ABSOLUTE computer_ = nullptr;  // My Computer, owned
  bool com_ = false;
  // Item lParam indexes this; nodes live as long as the tree.
  std::vector<Node> nodes_;
};

}  // namespace ferry

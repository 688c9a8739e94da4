#include "ui/win32/folder_tree.h"

#include <shellapi.h>

#include "platform/win_text.h"

namespace ferry {

namespace {

int ShellIcon(const std::wstring& path, bool open) {
  SHFILEINFOW info = {};
  UINT flags = SHGFI_SYSICONINDEX | SHGFI_SMALLICON | (open ? SHGFI_OPENICON : 0);
  if (!SHGetFileInfoW(path.c_str(), 0, &info, sizeof(info), flags)) return 0;
  return info.iIcon;
}

std::wstring WithSlash(std::wstring path) {
  if (path.empty() || path.back() != L'\\') path += L'\\';
  return path;
}

}  // namespace

TFolderTree::TFolderTree(const TFolderTreeArgs& args) {
  hwnd_ = CreateWindowExW(WS_EX_CLIENTEDGE, WC_TREEVIEWW, L"",
                          WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_TABSTOP | TVS_HASBUTTONS | TVS_HASLINES |
                              TVS_LINESATROOT | TVS_SHOWSELALWAYS,
                          args.left, args.top, args.width, args.height, args.parent,
                          reinterpret_cast<HMENU>(static_cast<UINT_PTR>(args.id)), GetModuleHandleW(nullptr), nullptr);
  if (!hwnd_) return;
  SHFILEINFOW info = {};
  auto images = reinterpret_cast<HIMAGELIST>(
      SHGetFileInfoW(L"C:\\", 0, &info, sizeof(info), SHGFI_SYSICONINDEX | SHGFI_SMALLICON));
  if (images) TreeView_SetImageList(hwnd_, images, TVSIL_NORMAL);

  wchar_t drives[512] = {};
  DWORD n = GetLogicalDriveStringsW(511, drives);
  for (const wchar_t* d = drives; n && *d; d += wcslen(d) + 1) {
    std::wstring root = d;
    std::wstring label = root.substr(0, 2);
    wchar_t volume[MAX_PATH + 1] = {};
    UINT type = GetDriveTypeW(root.c_str());
    if (type == DRIVE_FIXED && GetVolumeInformationW(root.c_str(), volume, MAX_PATH, nullptr, nullptr, nullptr,
                                                     nullptr, 0) && volume[0])
      label = std::wstring(volume) + L" (" + label + L")";
    AddItem(TVI_ROOT, root, label);
  }
}

HTREEITEM TFolderTree::AddItem(HTREEITEM parent, const std::wstring& path, const std::wstring& label) {
  TVINSERTSTRUCTW ins = {};
  ins.hParent = parent;
  ins.hInsertAfter = TVI_LAST;
  ins.item.mask = TVIF_TEXT | TVIF_PARAM | TVIF_CHILDREN | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
  ins.item.pszText = const_cast<wchar_t*>(label.c_str());
  ins.item.lParam = static_cast<LPARAM>(paths_.size());
  ins.item.cChildren = 1;  // decided when the folder is opened
  ins.item.iImage = ShellIcon(path, false);
  ins.item.iSelectedImage = ShellIcon(path, true);
  paths_.push_back(path);
  filled_.push_back(false);
  return TreeView_InsertItem(hwnd_, &ins);
}

void TFolderTree::Fill(HTREEITEM item) {
  TVITEMW tv = {};
  tv.mask = TVIF_PARAM;
  tv.hItem = item;
  if (!TreeView_GetItem(hwnd_, &tv)) return;
  size_t index = static_cast<size_t>(tv.lParam);
  if (index >= paths_.size() || filled_[index]) return;
  filled_[index] = true;
  std::wstring base = WithSlash(paths_[index]);
  WIN32_FIND_DATAW fd;
  HANDLE find = FindFirstFileW((base + L"*").c_str(), &fd);
  int children = 0;
  if (find != INVALID_HANDLE_VALUE) {
    do {
      if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) continue;
      if (fd.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN) continue;
      std::wstring name = fd.cFileName;
      if (name == L"." || name == L"..") continue;
      AddItem(item, base + name, name);
      ++children;
    } while (FindNextFileW(find, &fd));
    FindClose(find);
  }
  TVSORTCB sort = {};
  (void)sort;
  TreeView_SortChildren(hwnd_, item, FALSE);
  if (children == 0) {
    tv.mask = TVIF_CHILDREN;
    tv.cChildren = 0;
    TreeView_SetItem(hwnd_, &tv);
  }
}

HTREEITEM TFolderTree::FindChild(HTREEITEM parent, const std::wstring& path) {
  HTREEITEM child = parent ? TreeView_GetChild(hwnd_, parent) : TreeView_GetRoot(hwnd_);
  for (; child; child = TreeView_GetNextSibling(hwnd_, child)) {
    TVITEMW tv = {};
    tv.mask = TVIF_PARAM;
    tv.hItem = child;
    TreeView_GetItem(hwnd_, &tv);
    if (lstrcmpiW(WithSlash(paths_[static_cast<size_t>(tv.lParam)]).c_str(), WithSlash(path).c_str()) == 0)
      return child;
  }
  return nullptr;
}

void TFolderTree::Select(const std::string& dir, bool expand) {
  if (!hwnd_) return;
  std::wstring path = WithSlash(AnsiToWide(dir));
  HTREEITEM item = nullptr;
  size_t pos = path.find(L'\\');
  while (pos != std::wstring::npos) {
    std::wstring prefix = path.substr(0, pos + 1);
    if (item) {
      Fill(item);
      TreeView_Expand(hwnd_, item, TVE_EXPAND);
    }
    HTREEITEM next = FindChild(item, prefix);
    if (!next) break;
    item = next;
    pos = path.find(L'\\', pos + 1);
  }
  if (!item) return;
  TreeView_SelectItem(hwnd_, item);
  if (expand) {
    Fill(item);
    TreeView_Expand(hwnd_, item, TVE_EXPAND);
  }
  TreeView_EnsureVisible(hwnd_, item);
}

std::string TFolderTree::SelectedPath() const {
  HTREEITEM item = hwnd_ ? TreeView_GetSelection(hwnd_) : nullptr;
  if (!item) return {};
  TVITEMW tv = {};
  tv.mask = TVIF_PARAM;
  tv.hItem = item;
  if (!TreeView_GetItem(hwnd_, &tv)) return {};
  return WideToAnsi(WithSlash(paths_[static_cast<size_t>(tv.lParam)]));
}

bool TFolderTree::HandleNotify(const NMHDR* header) {
  if (header->hwndFrom != hwnd_) return false;
  if (header->code == TVN_ITEMEXPANDINGW) {
    const auto* nm = reinterpret_cast<const NMTREEVIEWW*>(header);
    if (nm->action & TVE_EXPAND) Fill(nm->itemNew.hItem);
    return false;
  }
  return header->code == TVN_SELCHANGEDW;
}

}  // namespace ferry

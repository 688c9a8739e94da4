#include "views/win32/folder_tree.h"

#include <shellapi.h>

#include <algorithm>

#include "platform/win_text.h"

namespace ferry {

namespace {

int ShellIcon(PCIDLIST_ABSOLUTE pidl, bool open) {
  SHFILEINFOW info = {};
  UINT flags = SHGFI_PIDL | SHGFI_SYSICONINDEX | SHGFI_SMALLICON | (open ? SHGFI_OPENICON : 0);
  if (!SHGetFileInfoW(reinterpret_cast<LPCWSTR>(pidl), 0, &info, sizeof(info), flags)) return 0;
  return info.iIcon;
}

std::wstring DisplayName(IShellFolder* folder, PCUITEMID_CHILD child, SHGDNF how) {
  STRRET ret = {};
  if (FAILED(folder->GetDisplayNameOf(child, how, &ret))) return {};
  switch (ret.uType) {
    case STRRET_WSTR: {
      std::wstring name = ret.pOleStr ? ret.pOleStr : L"";
      CoTaskMemFree(ret.pOleStr);
      return name;
    }
    case STRRET_OFFSET:
      return AnsiToWide(reinterpret_cast<const char*>(child) + ret.uOffset);
    case STRRET_CSTR:
      return AnsiToWide(ret.cStr);
    default:
      return {};
  }
}

std::wstring PathOf(PCIDLIST_ABSOLUTE pidl) {
  wchar_t path[MAX_PATH] = {};
  if (!pidl || !SHGetPathFromIDListW(pidl, path) || !path[0]) return {};
  std::wstring p = path;
  if (p.back() != L'\\') p += L'\\';
  return p;
}

// A folder worth showing on the way to an install directory: file-system
// folders and the virtual folders that hold them (My Computer).
constexpr SFGAOF kWanted = SFGAO_FOLDER | SFGAO_FILESYSTEM | SFGAO_FILESYSANCESTOR | SFGAO_HASSUBFOLDER;

bool Shown(SFGAOF a) { return (a & SFGAO_FOLDER) && (a & (SFGAO_FILESYSTEM | SFGAO_FILESYSANCESTOR)); }

// An install goes to a drive: file-system folders elsewhere (network
// shares) are left out, as the wizard would refuse them anyway; so are
// virtual folders other than My Computer (the network).
bool OnDrive(const std::wstring& path) {
  wchar_t letter = path.empty() ? 0 : static_cast<wchar_t>(path[0] | 0x20);
  return path.size() >= 3 && letter >= L'a' && letter <= L'z' && path[1] == L':' && path[2] == L'\\';
}

}  // namespace

FolderTree::FolderTree(const FolderTreeArgs& args) {
  HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  com_ = SUCCEEDED(init);
  hwnd_ = CreateWindowExW(WS_EX_CLIENTEDGE, WC_TREEVIEWW, L"",
                          WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_TABSTOP | TVS_HASBUTTONS | TVS_HASLINES |
                              TVS_LINESATROOT | TVS_SHOWSELALWAYS,
                          args.Left, args.Top, args.Width, args.Height, args.Parent,
                          reinterpret_cast<HMENU>(static_cast<UINT_PTR>(args.Id)), GetModuleHandleW(nullptr), nullptr);
  if (!hwnd_) return;
  SHFILEINFOW info = {};
  auto images = reinterpret_cast<HIMAGELIST>(
      SHGetFileInfoW(L"C:\\", 0, &info, sizeof(info), SHGFI_SYSICONINDEX | SHGFI_SMALLICON));
  if (images) TreeView_SetImageList(hwnd_, images, TVSIL_NORMAL);

  PIDLIST_ABSOLUTE root = nullptr;
  if (FAILED(SHGetDesktopFolder(&desktop_)) || FAILED(SHGetSpecialFolderLocation(nullptr, CSIDL_DESKTOP, &root)))
    return;
  SHFILEINFOW name = {};
  SHGetFileInfoW(reinterpret_cast<LPCWSTR>(root), 0, &name, sizeof(name), SHGFI_PIDL | SHGFI_DISPLAYNAME);
  HTREEITEM top = AddItem(TVI_ROOT, root, name.szDisplayName[0] ? name.szDisplayName : L"Desktop", true);
  if (FAILED(SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, &computer_))) computer_ = nullptr;
  // Desktop and My Computer open, as a folder dialog starts.
  Fill(top);
  TreeView_Expand(hwnd_, top, TVE_EXPAND);
  if (HTREEITEM computer = computer_ ? ChildOnWayTo(top, computer_) : nullptr) {
    Fill(computer);
    TreeView_Expand(hwnd_, computer, TVE_EXPAND);
  }
}

FolderTree::~FolderTree() {
  if (hwnd_) DestroyWindow(hwnd_);
  for (Node& n : nodes_) CoTaskMemFree(n.Pidl);
  CoTaskMemFree(computer_);
  if (desktop_) desktop_->Release();
  if (com_) CoUninitialize();
}

HTREEITEM FolderTree::AddItem(HTREEITEM parent, PIDLIST_ABSOLUTE pidl, const std::wstring& label, bool hasChildren) {
  TVINSERTSTRUCTW ins = {};
  ins.hParent = parent;
  ins.hInsertAfter = TVI_LAST;
  ins.item.mask = TVIF_TEXT | TVIF_PARAM | TVIF_CHILDREN | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
  ins.item.pszText = const_cast<wchar_t*>(label.c_str());
  ins.item.lParam = static_cast<LPARAM>(nodes_.size());
  ins.item.cChildren = hasChildren ? 1 : 0;
  ins.item.iImage = ShellIcon(pidl, false);
  ins.item.iSelectedImage = ShellIcon(pidl, true);
  nodes_.push_back(Node{pidl, false});
  return TreeView_InsertItem(hwnd_, &ins);
}

FolderTree::Node* FolderTree::NodeOf(HTREEITEM item) const {
  TVITEMW tv = {};
  tv.mask = TVIF_PARAM;
  tv.hItem = item;
  if (!item || !TreeView_GetItem(hwnd_, &tv)) return nullptr;
  size_t index = static_cast<size_t>(tv.lParam);
  return index < nodes_.size() ? const_cast<Node*>(&nodes_[index]) : nullptr;
}

// Reads the item's sub-folders from the shell, once.
void FolderTree::Fill(HTREEITEM item) {
  Node* node = NodeOf(item);
  if (!node || node->Filled || !desktop_) return;
  node->Filled = true;
  PIDLIST_ABSOLUTE parentPidl = node->Pidl;  // nodes_ may grow below
  IShellFolder* folder = nullptr;
  if (parentPidl->mkid.cb == 0) {
    folder = desktop_;
    folder->AddRef();
  } else if (FAILED(desktop_->BindToObject(parentPidl, nullptr, IID_IShellFolder, reinterpret_cast<void**>(&folder)))) {
    folder = nullptr;
  }
  struct Child {
    PITEMID_CHILD Pidl;
    std::wstring Name;
    bool HasChildren;
    bool FileSystem;
  };
  std::vector<Child> children;
  IEnumIDList* list = nullptr;
  if (folder && folder->EnumObjects(hwnd_, SHCONTF_FOLDERS, &list) == S_OK && list) {
    PITEMID_CHILD child = nullptr;
    while (list->Next(1, &child, nullptr) == S_OK) {
      SFGAOF attributes = kWanted;
      PCUITEMID_CHILD one[] = {child};
      if (SUCCEEDED(folder->GetAttributesOf(1, one, &attributes)) && Shown(attributes))
        children.push_back({child, DisplayName(folder, child, SHGDN_INFOLDER), (attributes & SFGAO_HASSUBFOLDER) != 0,
                            (attributes & SFGAO_FILESYSTEM) != 0});
      else
        CoTaskMemFree(child);
    }
    list->Release();
  }
  // The shell's own order (drives by letter, folders by name).
  std::stable_sort(children.begin(), children.end(), [folder](const Child& a, const Child& b) {
    return static_cast<short>(HRESULT_CODE(folder->CompareIDs(0, a.Pidl, b.Pidl))) < 0;
  });
  // Drive roots belong under My Computer; Wine's desktop also shows the
  // host's root folder, which is a drive already listed there.
  const bool underComputer = computer_ && ILIsEqual(parentPidl, computer_);
  size_t added = 0;
  for (Child& c : children) {
    PIDLIST_ABSOLUTE absolute = ILCombine(parentPidl, c.Pidl);
    CoTaskMemFree(c.Pidl);
    if (!absolute) continue;
    std::wstring path = c.FileSystem ? PathOf(absolute) : std::wstring();
    bool wanted = c.FileSystem ? OnDrive(path) && (path.size() > 3 || underComputer)
                               : computer_ && ILIsEqual(absolute, computer_);
    if (!wanted) {
      CoTaskMemFree(absolute);
      continue;
    }
    AddItem(item, absolute, c.Name, c.HasChildren);
    ++added;
  }
  if (folder) folder->Release();
  if (added == 0) {
    TVITEMW tv = {};
    tv.mask = TVIF_CHILDREN;
    tv.hItem = item;
    tv.cChildren = 0;
    TreeView_SetItem(hwnd_, &tv);
  }
}

// The child of `parent` that is `target` or one of its ancestors.
HTREEITEM FolderTree::ChildOnWayTo(HTREEITEM parent, PCIDLIST_ABSOLUTE target) {
  for (HTREEITEM child = TreeView_GetChild(hwnd_, parent); child; child = TreeView_GetNextSibling(hwnd_, child)) {
    Node* node = NodeOf(child);
    if (node && (ILIsEqual(node->Pidl, target) || ILIsParent(node->Pidl, target, FALSE))) return child;
  }
  return nullptr;
}

void FolderTree::Select(const std::string& dir, bool expand) {
  if (!hwnd_ || !desktop_) return;
  std::wstring path = AnsiToWide(dir);
  PIDLIST_RELATIVE parsed = nullptr;
  if (FAILED(desktop_->ParseDisplayName(hwnd_, nullptr, path.data(), nullptr, &parsed, nullptr)) || !parsed) return;
  auto target = reinterpret_cast<PIDLIST_ABSOLUTE>(parsed);
  HTREEITEM item = TreeView_GetRoot(hwnd_);
  for (;;) {
    Node* node = NodeOf(item);
    if (!node || ILIsEqual(node->Pidl, target)) break;
    Fill(item);
    HTREEITEM next = ChildOnWayTo(item, target);
    if (!next) break;
    TreeView_Expand(hwnd_, item, TVE_EXPAND);
    item = next;
  }
  CoTaskMemFree(target);
  if (!item) return;
  TreeView_SelectItem(hwnd_, item);
  if (expand) {
    Fill(item);
    TreeView_Expand(hwnd_, item, TVE_EXPAND);
  }
  TreeView_EnsureVisible(hwnd_, item);
}

std::u16string FolderTree::SelectedPath() const {
  HTREEITEM item = hwnd_ ? TreeView_GetSelection(hwnd_) : nullptr;
  Node* node = NodeOf(item);
  if (!node) return {};
  return WideToU16(PathOf(node->Pidl));
}

bool FolderTree::HandleNotify(const NMHDR* header) {
  if (header->hwndFrom != hwnd_) return false;
  if (header->code == TVN_ITEMEXPANDINGW) {
    const auto* nm = reinterpret_cast<const NMTREEVIEWW*>(header);
    if (nm->action & TVE_EXPAND) Fill(nm->itemNew.hItem);
    return false;
  }
  return header->code == TVN_SELCHANGEDW;
}

}  // namespace ferry

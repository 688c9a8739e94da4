#include "views/win32/accessible_control.h"

#include <oleacc.h>

#include <atomic>

#include "platform/system_library.h"

namespace ferry {

namespace {

using LresultFromObjectFn = LRESULT(WINAPI*)(REFIID, WPARAM, LPUNKNOWN);
using CreateStdAccessibleObjectFn = HRESULT(WINAPI*)(HWND, LONG, REFIID, void**);
using SysAllocStringFn = BSTR(WINAPI*)(const OLECHAR*);

constexpr IID kIidAccessible = {0x618736e0, 0x3c3d, 0x11cf, {0x81, 0x0c, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};

BSTR NewBstr(const std::wstring& text) {
  static auto alloc = SystemFunction<SysAllocStringFn>(L"oleaut32.dll", "SysAllocString");
  return alloc ? alloc(text.c_str()) : nullptr;
}

bool IsSelf(const VARIANT& id) { return id.vt == VT_I4 && id.lVal == CHILDID_SELF; }

// One object per WM_GETOBJECT; it holds only the window handle, so a
// reader that keeps it after the control is gone gets an error, not a
// dangling pointer.
class DrawnAccessible final : public IAccessible {
 public:
  explicit DrawnAccessible(HWND hwnd) : hwnd_(hwnd) {}

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, kIidAccessible)) {
      *out = static_cast<IAccessible*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }

  // IDispatch: readers use the vtable; there is no type information.
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (count) *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return E_NOTIMPL;
  }

  // IAccessible
  HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
    static auto create = SystemFunction<CreateStdAccessibleObjectFn>(L"oleacc.dll", "CreateStdAccessibleObject");
    if (!parent) return E_POINTER;
    *parent = nullptr;
    if (!IsWindow(hwnd_) || !create) return E_FAIL;
    return create(hwnd_, OBJID_WINDOW, IID_IDispatch, reinterpret_cast<void**>(parent));
  }
  HRESULT STDMETHODCALLTYPE get_accChildCount(long* count) override {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accChild(VARIANT, IDispatch** child) override {
    if (child) *child = nullptr;
    return E_INVALIDARG;
  }
  HRESULT STDMETHODCALLTYPE get_accName(VARIANT id, BSTR* name) override {
    AccessibleFacts facts;
    HRESULT hr = Ask(id, name, facts);
    if (hr != S_OK) return hr;
    *name = NewBstr(facts.Name);
    return *name ? S_OK : E_OUTOFMEMORY;
  }
  HRESULT STDMETHODCALLTYPE get_accValue(VARIANT id, BSTR* value) override {
    AccessibleFacts facts;
    HRESULT hr = Ask(id, value, facts);
    if (hr != S_OK) return hr;
    if (facts.Value.empty()) return S_FALSE;
    *value = NewBstr(facts.Value);
    return *value ? S_OK : E_OUTOFMEMORY;
  }
  HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT, BSTR* text) override { return Nothing(text); }
  HRESULT STDMETHODCALLTYPE get_accRole(VARIANT id, VARIANT* role) override {
    AccessibleFacts facts;
    HRESULT hr = Ask(id, role, facts);
    if (hr != S_OK) return hr;
    role->vt = VT_I4;
    role->lVal = facts.Role;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accState(VARIANT id, VARIANT* state) override {
    AccessibleFacts facts;
    HRESULT hr = Ask(id, state, facts);
    if (hr != S_OK) return hr;
    long bits = facts.State;
    if (!IsWindowVisible(hwnd_)) bits |= STATE_SYSTEM_INVISIBLE;
    if (!IsWindowEnabled(hwnd_)) bits |= STATE_SYSTEM_UNAVAILABLE;
    state->vt = VT_I4;
    state->lVal = bits;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT, BSTR* text) override { return Nothing(text); }
  HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT, long* topic) override {
    if (topic) *topic = 0;
    return Nothing(file);
  }
  HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT, BSTR* text) override { return Nothing(text); }
  HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override { return Empty(focus); }
  HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selection) override { return Empty(selection); }
  HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT, BSTR* text) override { return Nothing(text); }
  HRESULT STDMETHODCALLTYPE accSelect(long, VARIANT) override { return S_FALSE; }
  HRESULT STDMETHODCALLTYPE accLocation(long* x, long* y, long* w, long* h, VARIANT id) override {
    if (!x || !y || !w || !h) return E_POINTER;
    if (!IsSelf(id)) return E_INVALIDARG;
    RECT r;
    if (!GetWindowRect(hwnd_, &r)) return E_FAIL;
    *x = r.left;
    *y = r.top;
    *w = r.right - r.left;
    *h = r.bottom - r.top;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE accNavigate(long, VARIANT, VARIANT* end) override { return Empty(end); }
  HRESULT STDMETHODCALLTYPE accHitTest(long x, long y, VARIANT* id) override {
    if (!id) return E_POINTER;
    RECT r;
    POINT p = {x, y};
    if (!GetWindowRect(hwnd_, &r) || !PtInRect(&r, p)) return Empty(id);
    id->vt = VT_I4;
    id->lVal = CHILDID_SELF;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT) override { return DISP_E_MEMBERNOTFOUND; }
  HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }

 private:
  // The window's facts for a question about the object itself.
  template <class Out>
  HRESULT Ask(const VARIANT& id, Out* out, AccessibleFacts& facts) {
    if (!out) return E_POINTER;
    *out = {};
    if (!IsSelf(id)) return E_INVALIDARG;
    if (!IsWindow(hwnd_)) return RPC_E_DISCONNECTED;
    if (!SendMessageW(hwnd_, kMsgAccessibleFacts, 0, reinterpret_cast<LPARAM>(&facts))) return E_FAIL;
    return S_OK;
  }
  static HRESULT Nothing(BSTR* text) {
    if (!text) return E_POINTER;
    *text = nullptr;
    return S_FALSE;
  }
  static HRESULT Empty(VARIANT* v) {
    if (!v) return E_POINTER;
    v->vt = VT_EMPTY;
    return S_FALSE;
  }

  HWND hwnd_;
  std::atomic<ULONG> refs_{1};
};

}  // namespace

LRESULT AnswerGetObject(HWND hwnd, WPARAM wp, LPARAM lp) {
  static auto toResult = SystemFunction<LresultFromObjectFn>(L"oleacc.dll", "LresultFromObject");
  if (static_cast<LONG>(lp) != OBJID_CLIENT || !toResult) return 0;
  // Handing the object over marshals it: the window's thread needs COM.
  static const bool com = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
  (void)com;
  auto* object = new DrawnAccessible(hwnd);
  LRESULT result = toResult(kIidAccessible, wp, static_cast<IAccessible*>(object));
  object->Release();
  return result;
}

void NotifyValueChanged(HWND hwnd) { NotifyWinEvent(EVENT_OBJECT_VALUECHANGE, hwnd, OBJID_CLIENT, CHILDID_SELF); }

void NotifyNameChanged(HWND hwnd) { NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, hwnd, OBJID_CLIENT, CHILDID_SELF); }

}  // namespace ferry

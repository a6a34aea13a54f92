#include "toolkit/Accessible.h"

#include <utility>

#include "toolkit/Handles.h"

#include <oleacc.h>

#include <cwctype>

#include "toolkit/Controls.h"
#include "toolkit/SystemLibrary.h"

namespace tk {

namespace {

using CreateStdAccessibleObjectFn = HRESULT(WINAPI*)(HWND, LONG, REFIID, void**);
using LresultFromObjectFn = LRESULT(WINAPI*)(REFIID, WPARAM, LPUNKNOWN);

bool IsSelf(const VARIANT& child) {
  return child.vt == VT_I4 && child.lVal == CHILDID_SELF;
}

HRESULT GiveText(const std::wstring& text, BSTR* out) {
  if (!out) return E_INVALIDARG;
  *out = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  return *out ? S_OK : E_OUTOFMEMORY;
}

// The system's object for the window, with the control's own facts in front of it.
class AccessibleControl final : public IAccessible {
 public:
  AccessibleControl(TWinControl& control, ComPtr<IAccessible> standard)
      : window_(control.Handle()), control_(&control), standard_(std::move(standard)) {}

  // IUnknown
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_IAccessible) {
      *out = static_cast<IAccessible*>(this);
      AddRef();
      return S_OK;
    }
    // What else the system's object offers (IEnumVARIANT for the children, say) stays its own.
    return standard_->QueryInterface(iid, out);
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++references_; }
  STDMETHODIMP_(ULONG) Release() override {
    const ULONG left = --references_;
    if (!left) delete this;
    return left;
  }

  // IDispatch
  STDMETHODIMP GetTypeInfoCount(UINT* count) override { return standard_->GetTypeInfoCount(count); }
  STDMETHODIMP GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override {
    return standard_->GetTypeInfo(index, locale, info);
  }
  STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale,
                             DISPID* ids) override {
    return standard_->GetIDsOfNames(iid, names, count, locale, ids);
  }
  STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params,
                      VARIANT* result, EXCEPINFO* error, UINT* badArgument) override {
    return standard_->Invoke(id, iid, locale, flags, params, result, error, badArgument);
  }

  // IAccessible: the facts the control gives
  STDMETHODIMP get_accName(VARIANT child, BSTR* name) override {
    const auto facts = Facts(child);
    if (facts && !facts->Name.empty()) return GiveText(facts->Name, name);
    return standard_->get_accName(child, name);
  }
  STDMETHODIMP get_accValue(VARIANT child, BSTR* value) override {
    const auto facts = Facts(child);
    if (facts && facts->Value) return GiveText(*facts->Value, value);
    return standard_->get_accValue(child, value);
  }
  STDMETHODIMP get_accRole(VARIANT child, VARIANT* role) override {
    const auto facts = Facts(child);
    if (!facts || !facts->Role) return standard_->get_accRole(child, role);
    if (!role) return E_INVALIDARG;
    role->vt = VT_I4;
    role->lVal = facts->Role;
    return S_OK;
  }
  STDMETHODIMP get_accState(VARIANT child, VARIANT* state) override {
    const HRESULT result = standard_->get_accState(child, state);
    const auto facts = Facts(child);
    if (FAILED(result) || !facts || !state || state->vt != VT_I4) return result;
    state->lVal |= facts->AddedState;
    return result;
  }
  STDMETHODIMP get_accDefaultAction(VARIANT child, BSTR* action) override {
    const auto facts = Facts(child);
    if (facts && !facts->DefaultAction.empty()) return GiveText(facts->DefaultAction, action);
    return standard_->get_accDefaultAction(child, action);
  }
  STDMETHODIMP accDoDefaultAction(VARIANT child) override {
    const auto facts = Facts(child);
    if (!facts || facts->DefaultAction.empty()) return standard_->accDoDefaultAction(child);
    // Pressed the way a click presses it, once the reader's call has returned.
    return ::PostMessageW(window_, BM_CLICK, 0, 0) ? S_OK : E_FAIL;
  }

  // IAccessible: the rest is the system's
  STDMETHODIMP get_accParent(IDispatch** parent) override {
    return standard_->get_accParent(parent);
  }
  STDMETHODIMP get_accChildCount(long* count) override {
    return standard_->get_accChildCount(count);
  }
  STDMETHODIMP get_accChild(VARIANT child, IDispatch** out) override {
    return standard_->get_accChild(child, out);
  }
  STDMETHODIMP get_accDescription(VARIANT child, BSTR* text) override {
    return standard_->get_accDescription(child, text);
  }
  STDMETHODIMP get_accHelp(VARIANT child, BSTR* text) override {
    return standard_->get_accHelp(child, text);
  }
  STDMETHODIMP get_accHelpTopic(BSTR* file, VARIANT child, long* topic) override {
    return standard_->get_accHelpTopic(file, child, topic);
  }
  STDMETHODIMP get_accKeyboardShortcut(VARIANT child, BSTR* text) override {
    return standard_->get_accKeyboardShortcut(child, text);
  }
  STDMETHODIMP get_accFocus(VARIANT* child) override { return standard_->get_accFocus(child); }
  STDMETHODIMP get_accSelection(VARIANT* children) override {
    return standard_->get_accSelection(children);
  }
  STDMETHODIMP accSelect(long flags, VARIANT child) override {
    return standard_->accSelect(flags, child);
  }
  STDMETHODIMP accLocation(long* left, long* top, long* width, long* height,
                           VARIANT child) override {
    return standard_->accLocation(left, top, width, height, child);
  }
  STDMETHODIMP accNavigate(long direction, VARIANT start, VARIANT* end) override {
    return standard_->accNavigate(direction, start, end);
  }
  STDMETHODIMP accHitTest(long x, long y, VARIANT* child) override {
    return standard_->accHitTest(x, y, child);
  }
  STDMETHODIMP put_accName(VARIANT child, BSTR name) override {
    return standard_->put_accName(child, name);
  }
  STDMETHODIMP put_accValue(VARIANT child, BSTR value) override {
    return standard_->put_accValue(child, value);
  }

 private:
  ~AccessibleControl() = default;

  // The control's facts about itself; none for a part of it, or once the control has let its
  // window go (the window then names no object, or another one).
  std::optional<AccessibleFacts> Facts(const VARIANT& child) const {
    if (!IsSelf(child) || !::IsWindow(window_) ||
        ::GetWindowLongPtrW(window_, GWLP_USERDATA) != reinterpret_cast<LONG_PTR>(control_))
      return std::nullopt;
    return control_->Describe();
  }

  HWND window_;
  TWinControl* control_;
  ComPtr<IAccessible> standard_;
  ULONG references_ = 1;
};

}  // namespace

LRESULT AnswerGetObject(TWinControl& control, WPARAM wParam) {
  static const auto createStandard =
      SystemFunction<CreateStdAccessibleObjectFn>(L"oleacc.dll", "CreateStdAccessibleObject");
  static const auto resultFromObject =
      SystemFunction<LresultFromObjectFn>(L"oleacc.dll", "LresultFromObject");
  if (!createStandard || !resultFromObject) return 0;
  ComPtr<IAccessible> standard;
  if (FAILED(
          createStandard(control.Handle(), OBJID_CLIENT, IID_IAccessible, standard.put_void())) ||
      !standard)
    return 0;
  // Made with one reference, which the owner below gives back once the system has its own.
  ComPtr<IAccessible> object;
  *object.put() = new AccessibleControl(control, std::move(standard));
  const LRESULT result = resultFromObject(IID_IAccessible, wParam, object.get());
  return result > 0 ? result : 0;
}

std::wstring SpokenName(const std::wstring& caption, const std::wstring& hint) {
  std::wstring spoken;
  bool words = false;
  for (size_t i = 0; i < caption.size(); ++i) {
    // An ampersand marks the character after it, which stands as it is ("&&" for one ampersand).
    if (caption[i] == L'&' && ++i == caption.size()) break;
    words = words || std::iswalnum(caption[i]);
    spoken += caption[i];
  }
  if (words || hint.empty()) return spoken;
  return hint.substr(0, hint.find_first_of(L"\r\n"));
}

}  // namespace tk

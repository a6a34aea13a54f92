// One move-only owner per handle kind, built from the handle's close function.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include "toolkit/CommonControls.h"

#include <cstdint>
#include <utility>

namespace tk {

// Which values of a handle mean "no handle": null, INVALID_HANDLE_VALUE (-1), or either, for the
// kinds whose functions return one or the other depending on the call.
enum class NoHandle { Null, MinusOne, NullOrMinusOne };

// Owns a handle of type T, closing it with Close.
template <typename T, auto Close, NoHandle Empty = NoHandle::Null>
class UniqueAny {
  static T MinusOne() noexcept { return reinterpret_cast<T>(static_cast<intptr_t>(-1)); }
  static T InvalidValue() noexcept { return Empty == NoHandle::Null ? T{} : MinusOne(); }
  static bool IsValid(T value) noexcept {
    if constexpr (Empty == NoHandle::Null)
      return value != T{};
    else if constexpr (Empty == NoHandle::MinusOne)
      return value != MinusOne();
    else
      return value != T{} && value != MinusOne();
  }

 public:
  UniqueAny() noexcept = default;
  explicit UniqueAny(T value) noexcept : value_(value) {}
  UniqueAny(const UniqueAny&) = delete;
  UniqueAny& operator=(const UniqueAny&) = delete;
  UniqueAny(UniqueAny&& other) noexcept : value_(other.release()) {}
  UniqueAny& operator=(UniqueAny&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  ~UniqueAny() { reset(); }

  T get() const noexcept { return value_; }
  explicit operator bool() const noexcept { return IsValid(value_); }
  T release() noexcept { return std::exchange(value_, InvalidValue()); }
  void reset(T value = InvalidValue()) noexcept {
    T old = std::exchange(value_, value);
    if (IsValid(old) && old != value) Close(old);
  }
  // For APIs that write a new handle through a pointer.
  T* put() noexcept {
    reset();
    return &value_;
  }

 private:
  T value_ = InvalidValue();
};

namespace detail {
// The close functions, as the handle kinds name them.
struct Close {
  static void Key(HKEY h) { ::RegCloseKey(h); }
  static void Handle(HANDLE h) { ::CloseHandle(h); }
  static void Find(HANDLE h) { ::FindClose(h); }
  static void Window(HWND h) { ::DestroyWindow(h); }
  static void Gdi(HGDIOBJ h) { ::DeleteObject(h); }
  static void Icon(HICON h) { ::DestroyIcon(h); }
  static void ImageList(HIMAGELIST h) { comctl::ImageListDestroy(h); }
  static void Pidl(PIDLIST_ABSOLUTE p) { ::ILFree(p); }
  static void MemoryDC(HDC h) { ::DeleteDC(h); }
  static void CoTask(void* p) { ::CoTaskMemFree(p); }
  static void Local(void* p) { ::LocalFree(p); }
  static void Hook(HHOOK h) { ::UnhookWindowsHookEx(h); }
};
}  // namespace detail

using UniqueHKEY = UniqueAny<HKEY, detail::Close::Key>;
// Kernel handles whose failure value is null (processes, threads, mutexes, events).
using UniqueHandle = UniqueAny<HANDLE, detail::Close::Handle>;
// File handles and snapshots: their functions fail with INVALID_HANDLE_VALUE, and a handle that
// was never filled in is null.
using UniqueFile = UniqueAny<HANDLE, detail::Close::Handle, NoHandle::NullOrMinusOne>;
using UniqueFindHandle = UniqueAny<HANDLE, detail::Close::Find, NoHandle::MinusOne>;
using UniqueHWND = UniqueAny<HWND, detail::Close::Window>;
using UniqueHFONT = UniqueAny<HFONT, detail::Close::Gdi>;
using UniqueHBRUSH = UniqueAny<HBRUSH, detail::Close::Gdi>;
using UniqueHBITMAP = UniqueAny<HBITMAP, detail::Close::Gdi>;
using UniqueHICON = UniqueAny<HICON, detail::Close::Icon>;
using UniqueHIMAGELIST = UniqueAny<HIMAGELIST, detail::Close::ImageList>;
using UniquePIDL = UniqueAny<PIDLIST_ABSOLUTE, detail::Close::Pidl>;
// An item's id within its folder, as a folder's enumeration hands it out.
using UniqueChildPIDL = UniqueAny<PITEMID_CHILD, detail::Close::CoTask>;
using UniqueMemDC = UniqueAny<HDC, detail::Close::MemoryDC>;
using UniqueCoTaskString = UniqueAny<wchar_t*, detail::Close::CoTask>;
using UniqueHHOOK = UniqueAny<HHOOK, detail::Close::Hook>;
// Memory the system allocated with LocalAlloc for the caller (FormatMessage, CommandLineToArgvW).
template <typename T>
using UniqueLocalPtr = UniqueAny<T*, detail::Close::Local>;

// The second half of a paired call, made when the scope ends with what the first half gave
// (State); the pairs below are owned through it.
template <typename State, void (*End)(State&)>
class Paired {
 public:
  explicit Paired(State state) noexcept : state_(state) {}
  Paired(const Paired&) = delete;
  Paired& operator=(const Paired&) = delete;
  ~Paired() { End(state_); }

 protected:
  State state_;
};

namespace detail {
struct WindowDC {
  HWND hwnd;
  HDC dc;
};
struct PaintDC {
  HWND hwnd;
  PAINTSTRUCT paint;
  HDC dc;
};
struct Selection {
  HDC dc;
  HGDIOBJ old;
};
struct End {
  static void ReleaseWindowDC(WindowDC& s) {
    if (s.dc) ::ReleaseDC(s.hwnd, s.dc);
  }
  static void EndPaintDC(PaintDC& s) { ::EndPaint(s.hwnd, &s.paint); }
  static void RestoreSelection(Selection& s) {
    if (s.old && s.old != HGDI_ERROR) ::SelectObject(s.dc, s.old);
  }
};
}  // namespace detail

// A device context borrowed from a window (GetDC), given back when the scope ends.
class UniqueWindowDC : public Paired<detail::WindowDC, detail::End::ReleaseWindowDC> {
 public:
  explicit UniqueWindowDC(HWND hwnd) noexcept : Paired({hwnd, ::GetDC(hwnd)}) {}
  HDC get() const noexcept { return state_.dc; }
};

// One WM_PAINT: BeginPaint now, EndPaint when the scope ends.
class UniquePaintDC : public Paired<detail::PaintDC, detail::End::EndPaintDC> {
 public:
  explicit UniquePaintDC(HWND hwnd) noexcept : Paired({hwnd, {}, nullptr}) {
    state_.dc = ::BeginPaint(hwnd, &state_.paint);
  }
  HDC get() const noexcept { return state_.dc; }
};

// An object selected into a device context; the one it replaced goes back when the scope ends.
class UniqueSelectObject : public Paired<detail::Selection, detail::End::RestoreSelection> {
 public:
  UniqueSelectObject(HDC dc, HGDIOBJ object) noexcept : Paired({dc, ::SelectObject(dc, object)}) {}
};

// Owning COM interface pointer.
template <typename I>
class ComPtr {
 public:
  ComPtr() noexcept = default;
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  ComPtr& operator=(ComPtr&& other) noexcept {
    if (this != &other) {
      reset();
      p_ = std::exchange(other.p_, nullptr);
    }
    return *this;
  }
  ~ComPtr() { reset(); }

  I* get() const noexcept { return p_; }
  I* operator->() const noexcept { return p_; }
  explicit operator bool() const noexcept { return p_ != nullptr; }
  void reset() noexcept {
    if (p_) std::exchange(p_, nullptr)->Release();
  }
  I** put() noexcept {
    reset();
    return &p_;
  }
  void** put_void() noexcept { return reinterpret_cast<void**>(put()); }

 private:
  I* p_ = nullptr;
};

// Runs a clean-up step when the scope ends, for the rare state that is not a handle.
template <typename F>
class ScopeExit {
 public:
  explicit ScopeExit(F f) : f_(std::move(f)) {}
  ScopeExit(const ScopeExit&) = delete;
  ScopeExit& operator=(const ScopeExit&) = delete;
  ~ScopeExit() { f_(); }

 private:
  F f_;
};

// COM on this thread for the lifetime of the object (apartment-threaded, as the shell wants).
class ComInit {
 public:
  explicit ComInit(DWORD model = COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)
      : hr_(::CoInitializeEx(nullptr, model)) {}
  ComInit(const ComInit&) = delete;
  ComInit& operator=(const ComInit&) = delete;
  ~ComInit() {
    if (SUCCEEDED(hr_)) ::CoUninitialize();
  }

 private:
  HRESULT hr_;
};

}  // namespace tk

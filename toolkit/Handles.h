// One move-only owner per handle kind, built from the handle's close function.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

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
    if constexpr (Empty == NoHandle::Null) return value != T{};
    else if constexpr (Empty == NoHandle::MinusOne) return value != MinusOne();
    else return value != T{} && value != MinusOne();
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
inline void CloseKey(HKEY h) { ::RegCloseKey(h); }
inline void CloseHandle(HANDLE h) { ::CloseHandle(h); }
inline void FindCloseHandle(HANDLE h) { ::FindClose(h); }
inline void DestroyWnd(HWND h) { ::DestroyWindow(h); }
inline void DeleteGdi(HGDIOBJ h) { ::DeleteObject(h); }
inline void DestroyIconHandle(HICON h) { ::DestroyIcon(h); }
inline void DestroyImageList(HIMAGELIST h) { ::ImageList_Destroy(h); }
inline void FreePidl(PIDLIST_ABSOLUTE p) { ::ILFree(p); }
inline void DeleteMemDC(HDC h) { ::DeleteDC(h); }
inline void FreeCoTask(void* p) { ::CoTaskMemFree(p); }
inline void FreeLocal(void* p) { ::LocalFree(p); }
}  // namespace detail

using UniqueHKEY = UniqueAny<HKEY, detail::CloseKey>;
// Kernel handles whose failure value is null (processes, threads, mutexes, events).
using UniqueHandle = UniqueAny<HANDLE, detail::CloseHandle>;
// File handles and snapshots: their functions fail with INVALID_HANDLE_VALUE, and a handle that
// was never filled in is null.
using UniqueFile = UniqueAny<HANDLE, detail::CloseHandle, NoHandle::NullOrMinusOne>;
using UniqueFindHandle = UniqueAny<HANDLE, detail::FindCloseHandle, NoHandle::MinusOne>;
using UniqueHWND = UniqueAny<HWND, detail::DestroyWnd>;
using UniqueHFONT = UniqueAny<HFONT, detail::DeleteGdi>;
using UniqueHBRUSH = UniqueAny<HBRUSH, detail::DeleteGdi>;
using UniqueHBITMAP = UniqueAny<HBITMAP, detail::DeleteGdi>;
using UniqueHICON = UniqueAny<HICON, detail::DestroyIconHandle>;
using UniqueHIMAGELIST = UniqueAny<HIMAGELIST, detail::DestroyImageList>;
using UniquePIDL = UniqueAny<PIDLIST_ABSOLUTE, detail::FreePidl>;
using UniqueMemDC = UniqueAny<HDC, detail::DeleteMemDC>;
using UniqueCoTaskString = UniqueAny<wchar_t*, detail::FreeCoTask>;
// Memory the system allocated with LocalAlloc for the caller (FormatMessage, CommandLineToArgvW).
template <typename T>
using UniqueLocalPtr = UniqueAny<T*, detail::FreeLocal>;

// A device context borrowed from a window (GetDC), given back when the scope ends.
class UniqueWindowDC {
 public:
  explicit UniqueWindowDC(HWND hwnd) noexcept : hwnd_(hwnd), dc_(::GetDC(hwnd)) {}
  UniqueWindowDC(const UniqueWindowDC&) = delete;
  UniqueWindowDC& operator=(const UniqueWindowDC&) = delete;
  ~UniqueWindowDC() {
    if (dc_) ::ReleaseDC(hwnd_, dc_);
  }
  HDC get() const noexcept { return dc_; }

 private:
  HWND hwnd_;
  HDC dc_;
};

// One WM_PAINT: BeginPaint now, EndPaint when the scope ends.
class UniquePaintDC {
 public:
  explicit UniquePaintDC(HWND hwnd) noexcept : hwnd_(hwnd), dc_(::BeginPaint(hwnd, &paint_)) {}
  UniquePaintDC(const UniquePaintDC&) = delete;
  UniquePaintDC& operator=(const UniquePaintDC&) = delete;
  ~UniquePaintDC() { ::EndPaint(hwnd_, &paint_); }
  HDC get() const noexcept { return dc_; }

 private:
  HWND hwnd_;
  PAINTSTRUCT paint_{};
  HDC dc_;
};

// An object selected into a device context; the one it replaced goes back when the scope ends.
class UniqueSelectObject {
 public:
  UniqueSelectObject(HDC dc, HGDIOBJ object) noexcept : dc_(dc), old_(::SelectObject(dc, object)) {}
  UniqueSelectObject(const UniqueSelectObject&) = delete;
  UniqueSelectObject& operator=(const UniqueSelectObject&) = delete;
  ~UniqueSelectObject() {
    if (old_ && old_ != HGDI_ERROR) ::SelectObject(dc_, old_);
  }

 private:
  HDC dc_;
  HGDIOBJ old_;
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
  ComInit() : hr_(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)) {}
  ComInit(const ComInit&) = delete;
  ComInit& operator=(const ComInit&) = delete;
  ~ComInit() {
    if (SUCCEEDED(hr_)) ::CoUninitialize();
  }

 private:
  HRESULT hr_;
};

}  // namespace tk

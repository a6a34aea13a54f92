// One move-only owner per handle kind, built from the handle's close function.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <cstdint>
#include <utility>

namespace tk {

// Owns a handle of type T, closing it with Close. The "no handle" value is null, or
// INVALID_HANDLE_VALUE (-1) when MinusOneIsInvalid.
template <typename T, auto Close, bool MinusOneIsInvalid = false>
class UniqueAny {
  static T InvalidValue() noexcept {
    if constexpr (MinusOneIsInvalid) return reinterpret_cast<T>(static_cast<intptr_t>(-1));
    else return T{};
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
  explicit operator bool() const noexcept { return value_ != InvalidValue(); }
  T release() noexcept { return std::exchange(value_, InvalidValue()); }
  void reset(T value = InvalidValue()) noexcept {
    T old = std::exchange(value_, value);
    if (old != InvalidValue() && old != value) Close(old);
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
inline void FreeLib(HMODULE h) { ::FreeLibrary(h); }
inline void FreePidl(PIDLIST_ABSOLUTE p) { ::ILFree(p); }
inline void DeleteMemDC(HDC h) { ::DeleteDC(h); }
inline void FreeCoTask(void* p) { ::CoTaskMemFree(p); }
}  // namespace detail

using UniqueHKEY = UniqueAny<HKEY, detail::CloseKey>;
// Kernel handles whose failure value is null (processes, threads, mutexes, events).
using UniqueHandle = UniqueAny<HANDLE, detail::CloseHandle>;
// File handles, whose failure value is INVALID_HANDLE_VALUE.
using UniqueFile = UniqueAny<HANDLE, detail::CloseHandle, true>;
using UniqueFindHandle = UniqueAny<HANDLE, detail::FindCloseHandle, true>;
using UniqueHWND = UniqueAny<HWND, detail::DestroyWnd>;
using UniqueHFONT = UniqueAny<HFONT, detail::DeleteGdi>;
using UniqueHBRUSH = UniqueAny<HBRUSH, detail::DeleteGdi>;
using UniqueHBITMAP = UniqueAny<HBITMAP, detail::DeleteGdi>;
using UniqueHICON = UniqueAny<HICON, detail::DestroyIconHandle>;
using UniqueHIMAGELIST = UniqueAny<HIMAGELIST, detail::DestroyImageList>;
using UniqueHMODULE = UniqueAny<HMODULE, detail::FreeLib>;
using UniquePIDL = UniqueAny<PIDLIST_ABSOLUTE, detail::FreePidl>;
using UniqueMemDC = UniqueAny<HDC, detail::DeleteMemDC>;
using UniqueCoTaskString = UniqueAny<wchar_t*, detail::FreeCoTask>;

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

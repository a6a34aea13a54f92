// What the uninstaller's start-up spends its time on, each piece measured on its own in a fresh
// process: the common controls (version 6, through the same manifest), the rich edit library and
// a rich edit window, COM with WIC decoding the logo, and the shell starting a program. Prints
// "probe_NAME_ms N".
#include <windows.h>

#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>
#include <wincodec.h>

#include <chrono>
#include <cstdio>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

template <typename F>
void Measure(const char* name, F&& step) {
  const auto start = Clock::now();
  step();
  std::printf("probe_%s_ms %.2f\n", name,
              std::chrono::duration<double, std::milli>(Clock::now() - start).count());
}

void DecodeLogo() {
  HRSRC found = ::FindResourceW(nullptr, L"LOGO", MAKEINTRESOURCEW(10));
  HGLOBAL loaded = found ? ::LoadResource(nullptr, found) : nullptr;
  if (!loaded) return;
  IWICImagingFactory* factory = nullptr;
  if (FAILED(::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IWICImagingFactory, reinterpret_cast<void**>(&factory))))
    return;
  IWICStream* stream = nullptr;
  IWICBitmapDecoder* decoder = nullptr;
  IWICBitmapFrameDecode* frame = nullptr;
  if (SUCCEEDED(factory->CreateStream(&stream)) &&
      SUCCEEDED(stream->InitializeFromMemory(static_cast<BYTE*>(::LockResource(loaded)),
                                             ::SizeofResource(nullptr, found))) &&
      SUCCEEDED(factory->CreateDecoderFromStream(stream, nullptr, WICDecodeMetadataCacheOnDemand,
                                                 &decoder)) &&
      SUCCEEDED(decoder->GetFrame(0, &frame))) {
    UINT width = 0, height = 0;
    frame->GetSize(&width, &height);
    std::string pixels(static_cast<size_t>(width) * height * 4, '\0');
    frame->CopyPixels(nullptr, width * 4, static_cast<UINT>(pixels.size()),
                      reinterpret_cast<BYTE*>(pixels.data()));
  }
  if (frame) frame->Release();
  if (decoder) decoder->Release();
  if (stream) stream->Release();
  factory->Release();
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  Measure("common_controls_v6", [] {
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&icc);
  });
  Measure("rich_edit", [] {
    ::LoadLibraryW(L"msftedit.dll");
    HWND edit = ::CreateWindowExW(0, L"RICHEDIT50W", L"", WS_POPUP, 0, 0, 100, 100, nullptr,
                                  nullptr, nullptr, nullptr);
    ::DestroyWindow(edit);
  });
  Measure("com",
          [] { ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE); });
  Measure("wic_logo", [] { DecodeLogo(); });
  if (argc > 1) {
    // The shell starting a program, as the restart does: until ShellExecuteEx returns.
    const std::wstring target = argv[1];
    Measure("shell_start", [&] {
      SHELLEXECUTEINFOW info{};
      info.cbSize = sizeof(info);
      info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_DDEWAIT | SEE_MASK_FLAG_NO_UI;
      info.lpVerb = L"open";
      info.lpFile = target.c_str();
      info.lpParameters = L"probe";
      info.nShow = SW_HIDE;
      if (::ShellExecuteExW(&info) && info.hProcess) {
        ::TerminateProcess(info.hProcess, 0);
        ::CloseHandle(info.hProcess);
      }
    });
  }
  return 0;
}

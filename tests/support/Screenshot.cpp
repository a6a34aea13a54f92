#include "tests/support/Screenshot.h"

#include "tests/support/Wait.h"

#include <wincodec.h>

#include <vector>

#include "toolkit/Image.h"
#include "toolkit/Handles.h"

namespace testing_support {

namespace {

// What the screen shows of the window: width, height and 32-bit pixels, opaque.
struct Capture {
  int width = 0;
  int height = 0;
  std::vector<BYTE> pixels;
};

Capture CaptureWindow(HWND window) {
  Capture capture;
  RECT rc{};
  if (!::GetWindowRect(window, &rc)) return capture;
  const int width = rc.right - rc.left;
  const int height = rc.bottom - rc.top;
  if (width <= 0 || height <= 0) return capture;
  HDC screen = ::GetDC(nullptr);
  tk::UniqueMemDC memory(::CreateCompatibleDC(screen));
  void* bits = nullptr;
  tk::UniqueHBITMAP bitmap = tk::TopDownBitmap(width, height, bits);
  HGDIOBJ old = ::SelectObject(memory.get(), bitmap.get());
  ::BitBlt(memory.get(), 0, 0, width, height, screen, rc.left, rc.top, SRCCOPY);
  ::SelectObject(memory.get(), old);
  ::ReleaseDC(nullptr, screen);
  if (!bits) return capture;
  auto* pixels = static_cast<BYTE*>(bits);
  for (int i = 0; i < width * height; ++i) pixels[i * 4 + 3] = 255;
  capture.width = width;
  capture.height = height;
  capture.pixels.assign(pixels, pixels + static_cast<size_t>(width) * height * 4);
  return capture;
}

}  // namespace

bool ScreenShowsColor(HWND window, COLORREF color) {
  const Capture capture = CaptureWindow(window);
  for (size_t i = 0; i + 3 < capture.pixels.size(); i += 4)
    if (RGB(capture.pixels[i + 2], capture.pixels[i + 1], capture.pixels[i]) == color) return true;
  return false;
}

bool PaintAndWaitUntilStill(HWND window, std::chrono::milliseconds timeout) {
  ::RedrawWindow(window, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
  // Still means two captures one interval apart show the same pixels.
  Capture last = CaptureWindow(window);
  return WaitUntil(
      [&] {
        ::Sleep(50);
        Capture now = CaptureWindow(window);
        const bool still = !now.pixels.empty() && now.pixels == last.pixels;
        last = std::move(now);
        return still;
      },
      timeout, 0ms);
}

bool SaveWindowPng(HWND window, const std::wstring& pngPath) {
  Capture capture = CaptureWindow(window);
  if (capture.pixels.empty()) return false;
  const int width = capture.width;
  const int height = capture.height;
  BYTE* bits = capture.pixels.data();

  tk::ComInit com;
  tk::ComPtr<IWICImagingFactory> factory;
  if (FAILED(::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IWICImagingFactory, factory.put_void())))
    return false;
  tk::ComPtr<IWICStream> stream;
  tk::ComPtr<IWICBitmapEncoder> encoder;
  tk::ComPtr<IWICBitmapFrameEncode> frame;
  WICPixelFormatGUID format = GUID_WICPixelFormat32bppBGRA;
  bool ok = SUCCEEDED(factory->CreateStream(stream.put())) &&
            SUCCEEDED(stream->InitializeFromFilename(pngPath.c_str(), GENERIC_WRITE)) &&
            SUCCEEDED(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, encoder.put())) &&
            SUCCEEDED(encoder->Initialize(stream.get(), WICBitmapEncoderNoCache)) &&
            SUCCEEDED(encoder->CreateNewFrame(frame.put(), nullptr)) &&
            SUCCEEDED(frame->Initialize(nullptr)) &&
            SUCCEEDED(frame->SetSize(static_cast<UINT>(width), static_cast<UINT>(height))) &&
            SUCCEEDED(frame->SetPixelFormat(&format)) &&
            SUCCEEDED(frame->WritePixels(static_cast<UINT>(height), static_cast<UINT>(width) * 4,
                                         static_cast<UINT>(width * height * 4),
                                         static_cast<BYTE*>(bits))) &&
            SUCCEEDED(frame->Commit()) && SUCCEEDED(encoder->Commit());
  return ok;
}

}  // namespace testing_support

#include "Screenshot.h"

#include <wincodec.h>

#include <vector>

#include "Handles.h"

namespace testing_support {

bool SaveWindowPng(HWND window, const std::wstring& pngPath) {
  RECT rc{};
  if (!::GetWindowRect(window, &rc)) return false;
  const int width = rc.right - rc.left;
  const int height = rc.bottom - rc.top;
  if (width <= 0 || height <= 0) return false;

  HDC screen = ::GetDC(nullptr);
  tk::UniqueMemDC memory(::CreateCompatibleDC(screen));
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
  bi.bmiHeader.biWidth = width;
  bi.bmiHeader.biHeight = -height;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  tk::UniqueHBITMAP bitmap(::CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
  HGDIOBJ old = ::SelectObject(memory.get(), bitmap.get());
  ::BitBlt(memory.get(), 0, 0, width, height, screen, rc.left, rc.top, SRCCOPY);
  ::SelectObject(memory.get(), old);
  ::ReleaseDC(nullptr, screen);
  auto* pixels = static_cast<BYTE*>(bits);
  for (int i = 0; i < width * height; ++i) pixels[i * 4 + 3] = 255;

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

#include "toolkit/Image.h"

#include <oleacc.h>
#include <wincodec.h>

#include <cstring>

namespace tk {

namespace {

ComPtr<IWICImagingFactory> Factory() {
  ComPtr<IWICImagingFactory> factory;
  ::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                     factory.put_void());
  return factory;
}

// Pixels of a WIC source as premultiplied BGRA, width and height as the source has them.
bool CopyPremultiplied(IWICImagingFactory* factory, IWICBitmapSource* source, std::string& pixels,
                       UINT& width, UINT& height) {
  ComPtr<IWICFormatConverter> converter;
  if (FAILED(factory->CreateFormatConverter(converter.put())) ||
      FAILED(converter->Initialize(source, GUID_WICPixelFormat32bppPBGRA, WICBitmapDitherTypeNone,
                                   nullptr, 0.0, WICBitmapPaletteTypeCustom)) ||
      FAILED(converter->GetSize(&width, &height)) || width == 0 || height == 0)
    return false;
  pixels.assign(static_cast<size_t>(width) * height * 4, '\0');
  return SUCCEEDED(converter->CopyPixels(nullptr, width * 4, static_cast<UINT>(pixels.size()),
                                         reinterpret_cast<BYTE*>(pixels.data())));
}

// A top-down 32-bit DIB section holding the given premultiplied pixels.
HBITMAP MakeBitmap(const std::string& pixels, int width, int height) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap && bits) std::memcpy(bits, pixels.data(), pixels.size());
  return bitmap;
}

}  // namespace

TImage::TImage(TComponent* owner) : TCustomControl(owner) {}

AccessibleFacts TImage::Describe() {
  AccessibleFacts facts = TCustomControl::Describe();
  facts.Role = ROLE_SYSTEM_GRAPHIC;
  if (facts.Name.empty()) facts.Name = SpokenName({}, Hint());
  facts.AddedState = STATE_SYSTEM_READONLY;
  return facts;
}

void TImage::FillCreateParams(CreateParams& params) {
  params.ClassName = OwnClass(L"TImage", CS_HREDRAW | CS_VREDRAW);
  params.Style = WS_CHILD;
}

bool TImage::LoadFromResource(const wchar_t* name, const wchar_t* type) {
  HMODULE module = ::GetModuleHandleW(nullptr);
  HRSRC resource = ::FindResourceW(module, name, type);
  HGLOBAL loaded = resource ? ::LoadResource(module, resource) : nullptr;
  const void* data = loaded ? ::LockResource(loaded) : nullptr;
  if (!data) {
    pixels_.clear();
    width_ = height_ = 0;
    Invalidate();
    return false;
  }
  return LoadFromMemory(data, ::SizeofResource(module, resource));
}

bool TImage::LoadFromMemory(const void* data, size_t size) {
  // WIC wants COM on the calling thread; the application has it, a test thread may not.
  ComInit com(COINIT_APARTMENTTHREADED);
  pixels_.clear();
  width_ = height_ = 0;
  bitmap_.reset();
  ComPtr<IWICImagingFactory> factory = Factory();
  ComPtr<IWICStream> stream;
  ComPtr<IWICBitmapDecoder> decoder;
  ComPtr<IWICBitmapFrameDecode> frame;
  UINT width = 0, height = 0;
  const bool ok = factory && SUCCEEDED(factory->CreateStream(stream.put())) &&
                  SUCCEEDED(stream->InitializeFromMemory(
                      static_cast<BYTE*>(const_cast<void*>(data)), static_cast<DWORD>(size))) &&
                  SUCCEEDED(factory->CreateDecoderFromStream(
                      stream.get(), nullptr, WICDecodeMetadataCacheOnDemand, decoder.put())) &&
                  SUCCEEDED(decoder->GetFrame(0, frame.put())) &&
                  CopyPremultiplied(factory.get(), frame.get(), pixels_, width, height);
  if (!ok)
    pixels_.clear();
  else {
    width_ = static_cast<int>(width);
    height_ = static_cast<int>(height);
  }
  Invalidate();
  return ok;
}

void TImage::SetCenter(bool center) {
  center_ = center;
  Invalidate();
}

void TImage::DpiChanged() {
  bitmap_.reset();
  TCustomControl::DpiChanged();
  Invalidate();
}

RECT TImage::PictureRect() const {
  RECT client{};
  if (HandleAllocated()) ::GetClientRect(Handle(), &client);
  const int width = Scale(width_);
  const int height = Scale(height_);
  const int left = center_ ? (client.right - width) / 2 : 0;
  const int top = center_ ? (client.bottom - height) / 2 : 0;
  return RECT{left, top, left + width, top + height};
}

// The picture at the drawn size: scaled with WIC from the 96-DPI pixels when the DPI differs.
void TImage::PrepareBitmap(int width, int height) {
  if (bitmap_ && bitmapSize_.cx == width && bitmapSize_.cy == height) return;
  bitmap_.reset();
  if (width == width_ && height == height_) {
    bitmap_.reset(MakeBitmap(pixels_, width, height));
  } else {
    ComInit com(COINIT_APARTMENTTHREADED);
    ComPtr<IWICImagingFactory> factory = Factory();
    ComPtr<IWICBitmap> source;
    ComPtr<IWICBitmapScaler> scaler;
    std::string scaled;
    UINT w = 0, h = 0;
    if (factory &&
        SUCCEEDED(factory->CreateBitmapFromMemory(
            static_cast<UINT>(width_), static_cast<UINT>(height_), GUID_WICPixelFormat32bppPBGRA,
            static_cast<UINT>(width_) * 4, static_cast<UINT>(pixels_.size()),
            reinterpret_cast<BYTE*>(pixels_.data()), source.put())) &&
        SUCCEEDED(factory->CreateBitmapScaler(scaler.put())) &&
        SUCCEEDED(scaler->Initialize(source.get(), static_cast<UINT>(width),
                                     static_cast<UINT>(height), WICBitmapInterpolationModeFant)) &&
        CopyPremultiplied(factory.get(), scaler.get(), scaled, w, h))
      bitmap_.reset(MakeBitmap(scaled, static_cast<int>(w), static_cast<int>(h)));
  }
  bitmapSize_ = SIZE{width, height};
}

void TImage::OnPaint(HDC dc) {
  RECT client{};
  ::GetClientRect(Handle(), &client);
  // Drawn off screen first so that the background and the picture reach the screen together.
  UniqueMemDC memory(::CreateCompatibleDC(dc));
  UniqueHBITMAP canvas(::CreateCompatibleBitmap(dc, client.right, client.bottom));
  UniqueSelectObject onCanvas(memory.get(), canvas.get());
  UniqueHBRUSH brush(::CreateSolidBrush(BackgroundRGB()));
  ::FillRect(memory.get(), &client, brush.get());
  if (!pixels_.empty()) {
    const RECT target = PictureRect();
    PrepareBitmap(target.right - target.left, target.bottom - target.top);
    if (bitmap_) {
      UniqueMemDC picture(::CreateCompatibleDC(dc));
      UniqueSelectObject onPicture(picture.get(), bitmap_.get());
      BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
      // The system's own blend, which msimg32's AlphaBlend only passes the call on to: that
      // library is not one the system always takes from its own folder.
      ::GdiAlphaBlend(memory.get(), target.left, target.top, bitmapSize_.cx, bitmapSize_.cy,
                      picture.get(), 0, 0, bitmapSize_.cx, bitmapSize_.cy, blend);
    }
  }
  ::BitBlt(dc, 0, 0, client.right, client.bottom, memory.get(), 0, 0, SRCCOPY);
}

}  // namespace tk

#include "toolkit/Image.h"

#include <oleacc.h>
#include <wincodec.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "toolkit/Application.h"

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

// PNG bytes decoded into premultiplied BGRA pixels; COM must be set up on the calling thread.
bool DecodePng(const void* data, size_t size, std::string& pixels, UINT& width, UINT& height) {
  ComPtr<IWICImagingFactory> factory = Factory();
  ComPtr<IWICStream> stream;
  ComPtr<IWICBitmapDecoder> decoder;
  ComPtr<IWICBitmapFrameDecode> frame;
  return factory && SUCCEEDED(factory->CreateStream(stream.put())) &&
         SUCCEEDED(stream->InitializeFromMemory(static_cast<BYTE*>(const_cast<void*>(data)),
                                                static_cast<DWORD>(size))) &&
         SUCCEEDED(factory->CreateDecoderFromStream(
             stream.get(), nullptr, WICDecodeMetadataCacheOnDemand, decoder.put())) &&
         SUCCEEDED(decoder->GetFrame(0, frame.put())) &&
         CopyPremultiplied(factory.get(), frame.get(), pixels, width, height);
}

// A top-down 32-bit DIB section holding the given premultiplied pixels.
UniqueHBITMAP MakeBitmap(const std::string& pixels, int width, int height) {
  void* bits = nullptr;
  UniqueHBITMAP bitmap = TopDownBitmap(width, height, bits);
  if (bitmap) std::memcpy(bits, pixels.data(), pixels.size());
  return bitmap;
}

// One source pixel's part in a destination pixel, along one axis.
struct Share {
  int source;
  float weight;
};

// For each of `to` destination pixels, the source pixels among `from` that it covers and how much
// of it each covers: an area filter. Made smaller, every source pixel counts for the part of it
// that falls in each result pixel; made larger, neighbouring pixels blend only at their edges.
std::vector<std::vector<Share>> AreaShares(int from, int to) {
  std::vector<std::vector<Share>> shares(static_cast<size_t>(to));
  const double step = static_cast<double>(from) / to;
  for (int i = 0; i < to; ++i) {
    const double begin = i * step;
    const double end = std::min(static_cast<double>(from), (i + 1) * step);
    for (int s = static_cast<int>(begin); s < end; ++s) {
      const double covered = std::min(end, s + 1.0) - std::max(begin, static_cast<double>(s));
      if (covered > 0)
        shares[static_cast<size_t>(i)].push_back({s, static_cast<float>(covered / step)});
    }
  }
  return shares;
}

// Premultiplied BGRA pixels scaled to width x height with the area filter, each result row from
// the source rows it covers, made narrower first (one at a time, so that no scaled copy of the
// whole picture is held). Done here rather than by the imaging component, whose scalers may
// quietly fall back to picking the nearest pixel (Wine's do), which drops detail and frays the
// edges.
std::string ScaleByArea(const std::string& pixels, SIZE from, int width, int height) {
  const auto across = AreaShares(from.cx, width);
  const auto down = AreaShares(from.cy, height);
  const auto* in = reinterpret_cast<const BYTE*>(pixels.data());
  std::vector<float> narrowed(static_cast<size_t>(width) * 4);
  std::vector<float> sums(static_cast<size_t>(width) * 4);
  std::string scaled(static_cast<size_t>(width) * height * 4, '\0');
  auto* result = reinterpret_cast<BYTE*>(scaled.data());
  for (int y = 0; y < height; ++y) {
    std::fill(sums.begin(), sums.end(), 0.0f);
    for (const Share& row : down[static_cast<size_t>(y)]) {
      std::fill(narrowed.begin(), narrowed.end(), 0.0f);
      for (int x = 0; x < width; ++x) {
        float* out = &narrowed[static_cast<size_t>(x) * 4];
        for (const Share& share : across[static_cast<size_t>(x)]) {
          const BYTE* p = in + (static_cast<size_t>(row.source) * from.cx + share.source) * 4;
          for (int c = 0; c < 4; ++c) out[c] += p[c] * share.weight;
        }
      }
      for (size_t i = 0; i < sums.size(); ++i) sums[i] += narrowed[i] * row.weight;
    }
    BYTE* out = result + static_cast<size_t>(y) * width * 4;
    for (size_t i = 0; i < sums.size(); ++i)
      out[i] = static_cast<BYTE>(std::min(255.0f, sums[i] + 0.5f));
  }
  return scaled;
}

// The size a PNG's header gives, read without decoding: the signature, then the IHDR chunk with
// the width and height as big-endian numbers. False when the bytes do not start a PNG.
bool PngSize(const void* data, size_t size, SIZE& result) {
  static const BYTE kSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  const auto* bytes = static_cast<const BYTE*>(data);
  if (!bytes || size < 24 || std::memcmp(bytes, kSignature, sizeof(kSignature)) != 0 ||
      std::memcmp(bytes + 12, "IHDR", 4) != 0)
    return false;
  const auto number = [bytes](size_t at) {
    return (static_cast<unsigned long>(bytes[at]) << 24) | (bytes[at + 1] << 16) |
           (bytes[at + 2] << 8) | bytes[at + 3];
  };
  const unsigned long width = number(16);
  const unsigned long height = number(20);
  // What the format allows, and what a window could ever show.
  if (width == 0 || height == 0 || width > 0x7FFF || height > 0x7FFF) return false;
  result = SIZE{static_cast<LONG>(width), static_cast<LONG>(height)};
  return true;
}

}  // namespace

// The job and its result; the thread writes the result, the control reads it once the thread has
// ended.
struct PngDecoding {
  const void* data = nullptr;
  size_t size = 0;
  // The size the picture will be drawn at, as far as it is known when the decoding starts.
  SIZE drawnSize{0, 0};
  std::string pixels;
  UINT width = 0;
  UINT height = 0;
  // The pixels at the drawn size, where it differs from the decoded one.
  std::string drawnPixels;
  bool ok = false;
  UniqueHandle thread;

  static DWORD WINAPI Run(void* param) {
    auto* job = static_cast<PngDecoding*>(param);
    {
      // Its own apartment: the thread shares nothing with the window's.
      ComInit com(COINIT_MULTITHREADED);
      job->ok = DecodePng(job->data, job->size, job->pixels, job->width, job->height);
    }
    const SIZE decoded{static_cast<LONG>(job->width), static_cast<LONG>(job->height)};
    if (job->ok && job->drawnSize.cx > 0 && job->drawnSize.cy > 0 &&
        (job->drawnSize.cx != decoded.cx || job->drawnSize.cy != decoded.cy))
      job->drawnPixels = ScaleByArea(job->pixels, decoded, job->drawnSize.cx, job->drawnSize.cy);
    return 0;
  }
};

UniqueHBITMAP TopDownBitmap(int width, int height, void*& bits) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  bits = nullptr;
  UniqueHBITMAP bitmap(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!bits) bitmap.reset();
  return bitmap;
}

TImage::TImage(TComponent* owner) : TCustomControl(owner) {}

TImage::~TImage() {
  Clear();
}

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

void TImage::Clear() {
  if (decoding_ && decoding_->thread) ::WaitForSingleObject(decoding_->thread.get(), INFINITE);
  decoding_.reset();
  pixels_.clear();
  sourceSize_ = SIZE{0, 0};
  width_ = height_ = 0;
  bitmap_.reset();
}

void TImage::SetSourceSize(SIZE size, UINT sourceDpi) {
  sourceSize_ = size;
  const UINT made = sourceDpi ? sourceDpi : dpi::kDesign;
  width_ = dpi::Unscale(sourceSize_.cx, made);
  height_ = dpi::Unscale(sourceSize_.cy, made);
}

bool TImage::LoadFromResource(const wchar_t* name, const wchar_t* type, UINT sourceDpi) {
  HMODULE module = ::GetModuleHandleW(nullptr);
  HRSRC resource = ::FindResourceW(module, name, type);
  HGLOBAL loaded = resource ? ::LoadResource(module, resource) : nullptr;
  const void* data = loaded ? ::LockResource(loaded) : nullptr;
  const size_t size = data ? ::SizeofResource(module, resource) : 0;
  Clear();
  SIZE pictureSize{};
  const bool ok = PngSize(data, size, pictureSize);
  if (ok) {
    decoding_ = std::make_unique<PngDecoding>();
    decoding_->data = data;
    decoding_->size = size;
    encodedDpi_ = sourceDpi;
    SetSourceSize(pictureSize, sourceDpi);
    // A process that is ending never shows the picture.
    if (HandleAllocated() || !App().Terminated()) StartDecoding();
  }
  Invalidate();
  return ok;
}

void TImage::CreateWnd() {
  StartDecoding();
}

void TImage::StartDecoding() {
  if (!decoding_ || decoding_->thread) return;
  decoding_->drawnSize = SIZE{Scale(width_), Scale(height_)};
  // Where no thread can be had, the first paint decodes the picture itself.
  decoding_->thread.reset(
      ::CreateThread(nullptr, 0, &PngDecoding::Run, decoding_.get(), 0, nullptr));
}

void TImage::FinishDecoding() {
  if (!decoding_) return;
  if (decoding_->thread)
    ::WaitForSingleObject(decoding_->thread.get(), INFINITE);
  else
    PngDecoding::Run(decoding_.get());
  std::unique_ptr<PngDecoding> done = std::move(decoding_);
  if (!done->ok) {
    Clear();
    return;
  }
  pixels_ = std::move(done->pixels);
  SetSourceSize(SIZE{static_cast<LONG>(done->width), static_cast<LONG>(done->height)}, encodedDpi_);
  if (!done->drawnPixels.empty()) {
    bitmapSize_ = done->drawnSize;
    bitmap_ = MakeBitmap(done->drawnPixels, bitmapSize_.cx, bitmapSize_.cy);
  }
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

// The picture at the drawn size: the decoded pixels as they are when the sizes agree, else scaled
// with the area filter.
void TImage::PrepareBitmap(int width, int height) {
  if (bitmap_ && bitmapSize_.cx == width && bitmapSize_.cy == height) return;
  bitmap_.reset();
  bitmapSize_ = SIZE{width, height};
  if (width <= 0 || height <= 0) return;
  if (width == sourceSize_.cx && height == sourceSize_.cy)
    bitmap_ = MakeBitmap(pixels_, width, height);
  else
    bitmap_ = MakeBitmap(ScaleByArea(pixels_, sourceSize_, width, height), width, height);
}

void TImage::OnPaint(HDC dc) {
  RECT client{};
  ::GetClientRect(Handle(), &client);
  // Drawn off screen first so that the background and the picture reach the screen together.
  UniqueMemDC memory(::CreateCompatibleDC(dc));
  UniqueHBITMAP canvas(::CreateCompatibleBitmap(dc, client.right, client.bottom));
  UniqueSelectObject onCanvas(memory.get(), canvas.get());
  FillBackground(memory.get(), &client);
  FinishDecoding();
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

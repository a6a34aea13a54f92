// The main window at 100 %, 125 %, 150 % and 200 %: every text fits its control, the folder
// icons come from the size made for the scale and reach the screen pixel for pixel, the logo comes
// from a picture at least as large as it is shown and is made smaller by averaging the pixels
// under each shown one, and a screenshot of the real exe at each scale goes to docs/ for the
// README.
//
// A program takes its screen's scale when it starts, so each scale is a program of its own: the
// ScaleUp tests set the sandbox's scale and start this program again with ORVEX_SCALING_DPI, in
// which the ScaledForm test builds the window and measures it.
#include <gtest/gtest.h>

#include <windows.h>

#include <wincodec.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "toolkit/Application.h"
#include "toolkit/Handles.h"
#include "toolkit/Image.h"
#include "tests/support/AppDriver.h"
#include "tests/support/MainFormHost.h"
#include "tests/support/ProcessInfo.h"
#include "tests/support/Screenshot.h"
#include "tests/support/Files.h"
#include "tests/support/Processes.h"
#include "tests/support/Sandbox.h"
#include "tests/support/Wait.h"
#include "uninstaller/UninstallerForm.h"
#include "OrvexCommonControls/InternetLabel.h"
#include "OrvexCommonControls/ccCore.h"
#include "OrvexCommonControls/cvPathEdit.h"

using namespace testing_support;

namespace {

constexpr wchar_t kDesktopKey[] = L"Control Panel\\Desktop";
// The scales and the folder icon made for each (the sizes the icon files hold).
const std::map<UINT, int> kIconForDpi = {{96, 16}, {120, 20}, {144, 24}, {192, 32}};
// The logo's design size.
constexpr SIZE kLogo{193, 246};

UINT ScaleAsked() {
  wchar_t text[16] = {};
  return ::GetEnvironmentVariableW(L"ORVEX_SCALING_DPI", text, 16)
             ? static_cast<UINT>(std::wcstoul(text, nullptr, 10))
             : 0;
}

void SetSandboxDpi(DWORD dpi) {
  ::RegSetKeyValueW(HKEY_CURRENT_USER, kDesktopKey, L"LogPixels", REG_DWORD, &dpi, sizeof(dpi));
}

void StoreInstallPath(const std::wstring& folder) {
  StoreProductValue(L"Install path", REG_SZ, folder);
}

// The extent of a text in the font a control draws with.
SIZE TextExtent(HWND control, const std::wstring& text) {
  tk::UniqueWindowDC dc(control);
  tk::UniqueSelectObject font(dc.get(),
                              reinterpret_cast<HFONT>(::SendMessageW(control, WM_GETFONT, 0, 0)));
  SIZE extent{};
  ::GetTextExtentPoint32W(dc.get(), text.c_str(), static_cast<int>(text.size()), &extent);
  return extent;
}

RECT ClientOf(HWND window) {
  RECT client{};
  ::GetClientRect(window, &client);
  return client;
}

// --- pixels ---

// 32-bit pixels of a drawing, as a top-down DIB holds them (B, G, R, unused).
struct Pixels {
  int width = 0;
  int height = 0;
  std::vector<BYTE> bgra;
  const BYTE* At(int x, int y) const { return &bgra[(static_cast<size_t>(y) * width + x) * 4]; }
  BYTE* At(int x, int y) { return &bgra[(static_cast<size_t>(y) * width + x) * 4]; }
};

// What `paint` draws into a bitmap of width x height.
Pixels Drawn(int width, int height, const std::function<void(HDC)>& paint) {
  void* bits = nullptr;
  tk::UniqueHBITMAP bitmap = tk::TopDownBitmap(width, height, bits);
  tk::UniqueMemDC dc(::CreateCompatibleDC(nullptr));
  Pixels pixels;
  if (!bitmap || !bits) return pixels;
  {
    tk::UniqueSelectObject on(dc.get(), bitmap.get());
    paint(dc.get());
    ::GdiFlush();
  }
  pixels.width = width;
  pixels.height = height;
  const auto* begin = static_cast<const BYTE*>(bits);
  pixels.bgra.assign(begin, begin + static_cast<size_t>(width) * height * 4);
  return pixels;
}

// What a control paints of its client area.
Pixels PaintedClient(HWND control) {
  const RECT client = ClientOf(control);
  return Drawn(client.right, client.bottom, [control](HDC dc) {
    ::SendMessageW(control, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
  });
}

// Pixels whose colour differs from the expected one by more than `tolerance` in a channel,
// within the rectangle; the first of them is described in `first`.
int Mismatches(const Pixels& shown, const Pixels& expected, const RECT& area, int tolerance,
               std::string& first) {
  int count = 0;
  for (int y = area.top; y < area.bottom; ++y)
    for (int x = area.left; x < area.right; ++x) {
      const BYTE* a = shown.At(x, y);
      const BYTE* b = expected.At(x, y);
      if (std::abs(a[0] - b[0]) <= tolerance && std::abs(a[1] - b[1]) <= tolerance &&
          std::abs(a[2] - b[2]) <= tolerance)
        continue;
      if (count++ == 0)
        first = "at " + std::to_string(x) + "," + std::to_string(y) + ": shown " +
                std::to_string(a[2]) + "/" + std::to_string(a[1]) + "/" + std::to_string(a[0]) +
                ", expected " + std::to_string(b[2]) + "/" + std::to_string(b[1]) + "/" +
                std::to_string(b[0]);
    }
  return count;
}

// A PNG resource of this program decoded to premultiplied B, G, R, A rows.
struct Picture {
  int width = 0;
  int height = 0;
  std::vector<BYTE> bgra;
};
Picture DecodedResource(const wchar_t* name) {
  Picture picture;
  HMODULE module = ::GetModuleHandleW(nullptr);
  HRSRC resource = ::FindResourceW(module, name, RT_RCDATA);
  HGLOBAL loaded = resource ? ::LoadResource(module, resource) : nullptr;
  auto* data = static_cast<BYTE*>(loaded ? ::LockResource(loaded) : nullptr);
  if (!data) return picture;
  tk::ComInit com;
  tk::ComPtr<IWICImagingFactory> factory;
  tk::ComPtr<IWICStream> stream;
  tk::ComPtr<IWICBitmapDecoder> decoder;
  tk::ComPtr<IWICBitmapFrameDecode> frame;
  tk::ComPtr<IWICFormatConverter> converter;
  UINT width = 0, height = 0;
  if (FAILED(::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IWICImagingFactory, factory.put_void())) ||
      FAILED(factory->CreateStream(stream.put())) ||
      FAILED(stream->InitializeFromMemory(data, ::SizeofResource(module, resource))) ||
      FAILED(factory->CreateDecoderFromStream(stream.get(), nullptr, WICDecodeMetadataCacheOnDemand,
                                              decoder.put())) ||
      FAILED(decoder->GetFrame(0, frame.put())) ||
      FAILED(factory->CreateFormatConverter(converter.put())) ||
      FAILED(converter->Initialize(frame.get(), GUID_WICPixelFormat32bppPBGRA,
                                   WICBitmapDitherTypeNone, nullptr, 0.0,
                                   WICBitmapPaletteTypeCustom)) ||
      FAILED(converter->GetSize(&width, &height)))
    return picture;
  std::vector<BYTE> bgra(static_cast<size_t>(width) * height * 4);
  if (FAILED(
          converter->CopyPixels(nullptr, width * 4, static_cast<UINT>(bgra.size()), bgra.data())))
    return picture;
  picture.width = static_cast<int>(width);
  picture.height = static_cast<int>(height);
  picture.bgra = std::move(bgra);
  return picture;
}

// The picture shown at width x height over the background, each shown pixel the average of the
// source area it stands for (every source pixel weighted by the part of it inside that area),
// blended as premultiplied colour over the background.
Pixels AreaAveragedOver(const Picture& source, int width, int height, const BYTE* background) {
  Pixels result{width, height, std::vector<BYTE>(static_cast<size_t>(width) * height * 4)};
  const double stepX = static_cast<double>(source.width) / width;
  const double stepY = static_cast<double>(source.height) / height;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const double x0 = x * stepX, x1 = (x + 1) * stepX, y0 = y * stepY, y1 = (y + 1) * stepY;
      std::array<double, 4> sum{};
      double area = 0;
      for (int sy = static_cast<int>(y0); sy < std::min<double>(y1, source.height); ++sy)
        for (int sx = static_cast<int>(x0); sx < std::min<double>(x1, source.width); ++sx) {
          const double w = (std::min(x1, sx + 1.0) - std::max(x0, static_cast<double>(sx))) *
                           (std::min(y1, sy + 1.0) - std::max(y0, static_cast<double>(sy)));
          if (w <= 0) continue;
          const BYTE* p = &source.bgra[(static_cast<size_t>(sy) * source.width + sx) * 4];
          for (int c = 0; c < 4; ++c) sum[static_cast<size_t>(c)] += p[c] * w;
          area += w;
        }
      BYTE* out = &result.bgra[(static_cast<size_t>(y) * width + x) * 4];
      const double alpha = sum[3] / area;
      for (int c = 0; c < 3; ++c)
        out[c] = static_cast<BYTE>(std::lround(std::min(
            255.0, sum[static_cast<size_t>(c)] / area + background[c] * (255.0 - alpha) / 255.0)));
    }
  return result;
}

// --- the window at the scale this program was started with ---

class ScaledForm : public ::testing::Test {
 protected:
  void SetUp() override {
    dpi_ = ScaleAsked();
    if (!dpi_) GTEST_SKIP() << "run by the ScaleUp tests at a scale of their choosing";
    ASSERT_TRUE(kIconForDpi.count(dpi_)) << "no icon size known for " << dpi_ << " DPI";
    ::RegDeleteTreeW(HKEY_CURRENT_USER, kProductKey);
    StoreInstallPath(FreshFolder(L"scaling\\Pelmor Wallpaper"));
    OpenMainForm();
    PumpUntilIdle();
  }
  void TearDown() override {
    CloseMainForm();
    ::RegDeleteTreeW(HKEY_CURRENT_USER, kProductKey);
    RemoveTree(L"C:\\orvex-tests\\scaling");
  }
  UINT dpi_ = 0;
};

TEST_F(ScaledForm, TextsFitTheirControls) {
  ASSERT_EQ(frmMain->Dpi(), dpi_) << "the window took the sandbox's scale";
  const RECT form = ClientOf(frmMain->Handle());
  EXPECT_EQ(form.right, ::MulDiv(682, static_cast<int>(dpi_), 96));
  EXPECT_EQ(form.bottom, ::MulDiv(314, static_cast<int>(dpi_), 96));
  frmMain->lblDiscount->SetVisible(true);
  frmMain->inetDiscount->SetVisible(true);

  // One line each, within the control: the labels whole, the buttons inside their edges.
  const int edge = 2 * ::GetSystemMetrics(SM_CXEDGE);
  struct OneLine {
    tk::TWinControl* control;
    int margin;
  };
  for (const OneLine& line : {OneLine{frmMain->btnUninstall, edge},
                              OneLine{frmMain->btnResetIni, edge}, OneLine{frmMain->lblDiscount, 0},
                              OneLine{frmMain->inetDiscount, 0}, OneLine{frmMain->lblVersion, 0}}) {
    HWND window = line.control->Handle();
    const RECT client = ClientOf(window);
    const SIZE text = TextExtent(window, TextOf(window));
    EXPECT_LE(text.cx + 2 * line.margin, client.right)
        << Wide2Utf8(line.control->Name) << " at " << dpi_ << " DPI";
    EXPECT_LE(text.cy, client.bottom) << Wide2Utf8(line.control->Name) << " at " << dpi_ << " DPI";
  }
  // The word-wrapped button: each word within its edges, two lines within its height.
  HWND feedback = frmMain->btnFeedback->Handle();
  const RECT client = ClientOf(feedback);
  for (const wchar_t* word : {L"Send", L"feedback"}) {
    const SIZE text = TextExtent(feedback, word);
    EXPECT_LE(text.cx + 2 * edge, client.right) << Wide2Utf8(word) << " at " << dpi_ << " DPI";
    EXPECT_LE(2 * text.cy, client.bottom) << "two lines at " << dpi_ << " DPI";
  }
  // The path frame's caption: within the frame, and above the field rather than under it.
  HWND frame = frmMain->edtPath->Handle();
  const SIZE caption = TextExtent(frame, TextOf(frame));
  EXPECT_GT(caption.cx, 0);
  EXPECT_LE(caption.cx, ClientOf(frame).right) << "at " << dpi_ << " DPI";
  HWND field = FindDescendant(frame, L"Edit");
  ASSERT_NE(field, nullptr);
  RECT fieldRect{};
  ::GetWindowRect(field, &fieldRect);
  ::MapWindowPoints(nullptr, frame, reinterpret_cast<POINT*>(&fieldRect), 2);
  EXPECT_GE(fieldRect.top, caption.cy) << "at " << dpi_ << " DPI";
}

TEST_F(ScaledForm, FolderIconsAreMadeForTheScaleAndDrawnPixelForPixel) {
  const int size = kIconForDpi.at(dpi_);
  const SIZE icons = frmMain->edtPath->FolderIconSize();
  EXPECT_EQ(icons.cx, size) << "at " << dpi_ << " DPI";
  EXPECT_EQ(icons.cy, size) << "at " << dpi_ << " DPI";

  // What the browse button paints is the icon file's own image of that size, centred on the
  // field's colour: nothing enlarged from a smaller one.
  auto* edit = dynamic_cast<tk::TButtonedEdit*>(frmMain->edtPath->FindComponent(L"PathEdit"));
  ASSERT_NE(edit, nullptr);
  tk::TEditButton& browse = edit->RightButton();
  const Pixels shown = PaintedClient(browse.Handle());
  ASSERT_GT(shown.width, size);
  ASSERT_GE(shown.height, size);
  const wchar_t* resource = browse.ShownImageIndex() == 1 ? L"XFOLDER_OPEN" : L"XFOLDER";
  tk::UniqueHICON icon(static_cast<HICON>(
      ::LoadImageW(::GetModuleHandleW(nullptr), resource, IMAGE_ICON, size, size, 0)));
  ASSERT_TRUE(icon);
  const BYTE* field = shown.At(0, 0);
  const COLORREF fieldColor = RGB(field[2], field[1], field[0]);
  const int left = (shown.width - size) / 2;
  const int top = (shown.height - size) / 2;
  const Pixels expected = Drawn(shown.width, shown.height, [&](HDC dc) {
    tk::UniqueHBRUSH brush(::CreateSolidBrush(fieldColor));
    RECT all{0, 0, shown.width, shown.height};
    ::FillRect(dc, &all, brush.get());
    ::DrawIconEx(dc, left, top, icon.get(), size, size, 0, nullptr, DI_NORMAL);
  });
  std::string first;
  EXPECT_EQ(Mismatches(shown, expected, RECT{0, 0, shown.width, shown.height}, 2, first), 0)
      << "at " << dpi_ << " DPI, first " << first;
}

TEST_F(ScaledForm, LogoComesFromAPictureAtLeastAsLargeAndIsAveragedDown) {
  tk::TImage* logo = frmMain->imgLogo;
  ASSERT_FALSE(logo->Empty());
  EXPECT_EQ(logo->PictureWidth(), kLogo.cx) << "laid out at its design size";
  EXPECT_EQ(logo->PictureHeight(), kLogo.cy);
  const RECT at = logo->PictureRect();
  const int width = at.right - at.left;
  const int height = at.bottom - at.top;
  EXPECT_EQ(width, ::MulDiv(kLogo.cx, static_cast<int>(dpi_), 96)) << "at " << dpi_ << " DPI";
  EXPECT_EQ(height, ::MulDiv(kLogo.cy, static_cast<int>(dpi_), 96)) << "at " << dpi_ << " DPI";
  const SIZE source = logo->SourceSize();
  EXPECT_GE(source.cx, width) << "never enlarged, at " << dpi_ << " DPI";
  EXPECT_GE(source.cy, height) << "never enlarged, at " << dpi_ << " DPI";

  // Every shown pixel is the average of the picture's pixels under it, over the column's colour
  // (which the corner, outside the picture, shows).
  const Picture picture = DecodedResource(L"LOGO");
  ASSERT_EQ(picture.width, source.cx);
  ASSERT_EQ(picture.height, source.cy);
  const Pixels shown = PaintedClient(logo->Handle());
  ASSERT_GE(shown.width, at.right);
  ASSERT_GE(shown.height, at.bottom);
  ASSERT_GT(at.left, 0);
  const Pixels averaged = AreaAveragedOver(picture, width, height, shown.At(0, 0));
  Pixels expected = shown;
  for (int y = 0; y < height; ++y)
    std::copy_n(averaged.At(0, y), static_cast<size_t>(width) * 4,
                expected.At(at.left, at.top + y));
  std::string first;
  EXPECT_EQ(Mismatches(shown, expected, at, 2, first), 0)
      << "at " << dpi_ << " DPI, first " << first;
}

// A picture from the program's resources knows its size from the start but is decoded only when
// first drawn; what is not a PNG is refused at once.
TEST(ResourcePicture, KnowsItsSizeAtOnceAndIsDecodedWhenFirstDrawn) {
  tk::App().Initialize();
  const Picture picture = DecodedResource(L"LOGO");
  ASSERT_GT(picture.width, 0);
  tk::TForm host(nullptr, L"ResourcePictureHost");
  host.SetClientSize(picture.width + 20, picture.height + 20);
  tk::TImage* image = new tk::TImage(&host);
  EXPECT_FALSE(image->LoadFromResource(L"MAINICON", RT_GROUP_ICON)) << "an icon is no PNG";
  EXPECT_FALSE(image->LoadFromResource(L"NO_SUCH_PICTURE"));
  EXPECT_TRUE(image->Empty());
  ASSERT_TRUE(image->LoadFromResource(L"LOGO", RT_RCDATA, 192));
  EXPECT_FALSE(image->Empty());
  EXPECT_EQ(image->SourceSize().cx, picture.width);
  EXPECT_EQ(image->SourceSize().cy, picture.height);
  EXPECT_EQ(image->PictureWidth(), picture.width / 2) << "made for twice the design DPI";
  image->SetBounds(0, 0, picture.width / 2, picture.height / 2);
  image->SetParent(&host);
  host.CreateForm(false);
  ASSERT_TRUE(image->HandleAllocated());
  EXPECT_FALSE(image->Empty());
  // Drawn, the picture is more than the background's one colour.
  const Pixels shown = PaintedClient(image->Handle());
  ASSERT_GT(shown.width, 0);
  bool drawn = false;
  for (int y = 0; y < shown.height && !drawn; ++y)
    for (int x = 0; x < shown.width && !drawn; ++x)
      drawn = std::memcmp(shown.At(x, y), shown.At(0, 0), 3) != 0;
  EXPECT_TRUE(drawn) << "the pixels were decoded for the first paint";
}

// --- the scales, each in a program of its own ---

class ScaleUp : public ::testing::TestWithParam<UINT> {
 protected:
  void TearDown() override {
    SetSandboxDpi(96);
    KillProcessesNamed(L"Uninstaller.exe");
    ::RegDeleteTreeW(HKEY_CURRENT_USER, kProductKey);
    RemoveTree(L"C:\\orvex-tests\\scaling-shot");
  }
};

TEST_P(ScaleUp, TheWindowIsMadeForTheScale) {
  const UINT dpi = GetParam();
  SetSandboxDpi(dpi);
  wchar_t self[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  ::SetEnvironmentVariableW(L"ORVEX_SCALING_DPI", std::to_wstring(dpi).c_str());
  Process measure = Start(self, L"--gtest_filter=ScaledForm.* --gtest_color=no");
  ::SetEnvironmentVariableW(L"ORVEX_SCALING_DPI", nullptr);
  ASSERT_TRUE(measure.WaitExit(120s));
  EXPECT_EQ(measure.ExitCode(), 0u) << "the window measured at " << dpi << " DPI failed its checks";
}

TEST_P(ScaleUp, ScreenshotOfTheRealWindowForTheReadme) {
  const UINT dpi = GetParam();
  SetSandboxDpi(dpi);
  StoreInstallPath(FreshFolder(L"scaling-shot\\Pelmor Wallpaper"));
  Process first = Start(UninstallerExe(), L"", BinDir());
  HWND window = WaitForRestartedCopy(L"TfrmMain", 60s);
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(first.WaitExit(60s));
  // The real exe took the scale: its client area is the design size scaled.
  const RECT client = ClientOf(window);
  EXPECT_EQ(client.right, ::MulDiv(682, static_cast<int>(dpi), 96));
  EXPECT_EQ(client.bottom, ::MulDiv(314, static_cast<int>(dpi), 96));
  // The whole window is on the screen, so that the screenshot holds all of it.
  RECT frame{};
  ::GetWindowRect(window, &frame);
  EXPECT_GE(frame.left, 0);
  EXPECT_GE(frame.top, 0);
  EXPECT_LE(frame.right, ::GetSystemMetrics(SM_CXSCREEN));
  EXPECT_LE(frame.bottom, ::GetSystemMetrics(SM_CYSCREEN));
  // Once the countdown is over, so that the picture shows the window ready for use.
  ASSERT_TRUE(WaitForEnabled(FindButton(window, L"Uninstall"), true, 30s));
  ASSERT_TRUE(PaintAndWaitUntilStill(window, 10s));
  EXPECT_TRUE(SaveWindowPng(window, std::wstring(ORVEX_SOURCE_DIR) + L"\\docs\\main-window-" +
                                        std::to_wstring(dpi * 100 / 96) + L".png"));
  ::PostMessageW(window, WM_CLOSE, 0, 0);
}

INSTANTIATE_TEST_SUITE_P(Scales, ScaleUp, ::testing::Values(96u, 120u, 144u, 192u),
                         [](const auto& info) { return "Dpi" + std::to_string(info.param); });

}  // namespace

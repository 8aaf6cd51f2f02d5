// GDI drawing into a window's pixels.
#include "Fixture.h"

namespace {

constexpr std::uint32_t kBlack = 0x000000;
constexpr std::uint32_t kWhite = 0xFFFFFF;
constexpr std::uint32_t kGrey = vt::kNeutralPixel;

class Gdi : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    hwnd_ = MakeWindow(WS_POPUP, 16, 12);
    ShowWindow(hwnd_, SW_SHOWNORMAL);
    dc_ = GetDC(hwnd_);
  }
  void TearDown() override {
    ReleaseDC(hwnd_, dc_);
    HostTest::TearDown();
  }
  // One text row per pixel row: '.' neutral, '#' black, 'o' white, '?' anything else.
  static std::string Row(const vt::Picture& p, int y, int x0, int x1) {
    std::string row;
    for (int x = x0; x < x1; ++x) {
      std::uint32_t c = p.at(x, y);
      row += c == kGrey ? '.' : c == kBlack ? '#' : c == kWhite ? 'o' : '?';
    }
    return row;
  }
  HWND hwnd_ = nullptr;
  HDC dc_ = nullptr;
};

TEST_F(Gdi, WindowStartsNeutralAndRectangleIsInclusiveExclusive) {
  vt::Picture before = vt::WindowPixels();
  ASSERT_EQ(before.width, 16);
  ASSERT_EQ(before.height, 12);
  EXPECT_EQ(Row(before, 0, 0, 16), "................");
  SelectObject(dc_, GetStockObject(WHITE_BRUSH));
  SelectObject(dc_, GetStockObject(BLACK_PEN));
  EXPECT_TRUE(Rectangle(dc_, 2, 1, 7, 5));  // outline x 2..6, y 1..4
  vt::Picture p = vt::WindowPixels();
  EXPECT_EQ(Row(p, 0, 0, 9), ".........");
  EXPECT_EQ(Row(p, 1, 0, 9), "..#####..");
  EXPECT_EQ(Row(p, 2, 0, 9), "..#ooo#..");
  EXPECT_EQ(Row(p, 3, 0, 9), "..#ooo#..");
  EXPECT_EQ(Row(p, 4, 0, 9), "..#####..");
  EXPECT_EQ(Row(p, 5, 0, 9), ".........");
}

TEST_F(Gdi, NullPenFillsOnePixelSmallerAndCoordinatesAreNormalised) {
  SelectObject(dc_, GetStockObject(BLACK_BRUSH));
  SelectObject(dc_, GetStockObject(NULL_PEN));
  Rectangle(dc_, 5, 4, 1, 1);  // swapped corners
  vt::Picture p = vt::WindowPixels();
  EXPECT_EQ(Row(p, 0, 0, 6), "......");
  EXPECT_EQ(Row(p, 1, 0, 6), ".###..");
  EXPECT_EQ(Row(p, 2, 0, 6), ".###..");
  EXPECT_EQ(Row(p, 3, 0, 6), "......");
}

TEST_F(Gdi, BlackRectanglesClipAtTheWindowEdgeAndStay) {
  SelectObject(dc_, GetStockObject(BLACK_BRUSH));
  SelectObject(dc_, GetStockObject(BLACK_PEN));
  Rectangle(dc_, -5, -5, 3, 3);
  Rectangle(dc_, 14, 10, 40, 40);
  vt::Picture p = vt::WindowPixels();
  EXPECT_EQ(Row(p, 0, 0, 16), "###.............");
  EXPECT_EQ(Row(p, 2, 0, 16), "###.............");
  EXPECT_EQ(Row(p, 3, 0, 16), "................");
  EXPECT_EQ(Row(p, 11, 0, 16), "..............##");
}

TEST_F(Gdi, SelectReturnsThePreviousObjectOfTheSameKind) {
  HGDIOBJ black = GetStockObject(BLACK_BRUSH);
  HGDIOBJ first = SelectObject(dc_, black);
  EXPECT_EQ(first, GetStockObject(WHITE_BRUSH)) << "a new context starts with the white brush";
  EXPECT_EQ(SelectObject(dc_, GetStockObject(NULL_PEN)), GetStockObject(BLACK_PEN));
  EXPECT_EQ(SelectObject(dc_, first), black);
  EXPECT_TRUE(DeleteObject(black)) << "deleting a stock object is harmless";
  HBRUSH own = CreateSolidBrush(RGB(255, 0, 0));
  SelectObject(dc_, own);
  EXPECT_FALSE(DeleteObject(own)) << "still selected";
  SelectObject(dc_, first);
  EXPECT_TRUE(DeleteObject(own));
  EXPECT_EQ(SelectObject(dc_, own), nullptr);
}

TEST_F(Gdi, StretchDIBitsConvertsBitfieldsAndScales) {
  // 2x2 top-down 5:6:5: red, green / blue, white; drawn at 4x4.
  struct {
    BITMAPINFOHEADER header;
    DWORD masks[3];
  } info{};
  info.header.biSize = sizeof(BITMAPINFOHEADER);
  info.header.biWidth = 2;
  info.header.biHeight = -2;
  info.header.biPlanes = 1;
  info.header.biBitCount = 16;
  info.header.biCompression = BI_BITFIELDS;
  info.masks[0] = 0xF800;
  info.masks[1] = 0x07E0;
  info.masks[2] = 0x001F;
  const std::uint16_t pixels[4] = {0xF800, 0x07E0, 0x001F, 0xFFFF};
  EXPECT_EQ(StretchDIBits(dc_, 1, 1, 4, 4, 0, 0, 2, 2, pixels, reinterpret_cast<BITMAPINFO*>(&info),
                          DIB_RGB_COLORS, SRCCOPY),
            2);
  vt::Picture p = vt::WindowPixels();
  EXPECT_EQ(p.at(0, 0), kGrey);
  EXPECT_EQ(p.at(1, 1), 0xFF0000u);
  EXPECT_EQ(p.at(2, 2), 0xFF0000u);
  EXPECT_EQ(p.at(3, 1), 0x00FF00u);
  EXPECT_EQ(p.at(1, 3), 0x0000FFu);
  EXPECT_EQ(p.at(4, 4), 0xFFFFFFu);
  EXPECT_EQ(p.at(5, 5), kGrey);
  // The same picture stored bottom-up lands the same way round.
  info.header.biHeight = 2;
  const std::uint16_t flipped[4] = {0x001F, 0xFFFF, 0xF800, 0x07E0};
  StretchDIBits(dc_, 8, 0, 2, 2, 0, 0, 2, 2, flipped, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS,
                SRCCOPY);
  p = vt::WindowPixels();
  EXPECT_EQ(p.at(8, 0), 0xFF0000u);
  EXPECT_EQ(p.at(9, 1), 0xFFFFFFu);
  info.header.biBitCount = 8;
  EXPECT_EQ(StretchDIBits(dc_, 0, 0, 2, 2, 0, 0, 2, 2, pixels, reinterpret_cast<BITMAPINFO*>(&info),
                          DIB_RGB_COLORS, SRCCOPY),
            0)
      << "formats other than 16 and 32 bits are refused";
}

TEST_F(Gdi, InvalidatingErasesWithTheClassBackgroundOnPaint) {
  Pump();  // the first paint: no class brush, nothing erased
  EXPECT_EQ(vt::WindowPixels().at(0, 0), kGrey);
  EXPECT_EQ(vt::MainWindow().background, nullptr);
  SetClassLongPtrA(hwnd_, GCLP_HBRBACKGROUND, reinterpret_cast<LONG_PTR>(GetStockObject(BLACK_BRUSH)));
  EXPECT_EQ(vt::MainWindow().background, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  EXPECT_EQ(GetClassLongA(hwnd_, GCL_HBRBACKGROUND),
            static_cast<DWORD>(reinterpret_cast<std::uintptr_t>(GetStockObject(BLACK_BRUSH))));
  InvalidateRect(hwnd_, nullptr, TRUE);
  EXPECT_EQ(MsgWaitForMultipleObjects(0, nullptr, FALSE, 0, QS_ALLINPUT), WAIT_OBJECT_0) << "paint is input";
  Pump();
  vt::Picture p = vt::WindowPixels();
  EXPECT_EQ(p.at(0, 0), kBlack);
  EXPECT_EQ(p.at(15, 11), kBlack);
  MSG msg;
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) << "validated by the default paint";
}

}  // namespace

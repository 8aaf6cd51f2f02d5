// GDI: device contexts of windows, stock and solid brushes and pens, rectangles and DIB copies.
#include <algorithm>

#include "Core.h"
#include "Host.h"
#include "Window.h"

namespace {

using namespace vemora::platform;

constexpr std::uintptr_t kObjectBase = 0x01000000;
constexpr std::uintptr_t kDcBase = 0x02000000;

enum class GdiKind { Brush, Pen };

struct GdiObject {
  GdiKind kind;
  COLORREF colour;
  bool hollow;
  bool stock;
  bool deleted;
};

struct DeviceContext {
  UINT window;  // 0 for the screen, where nothing is drawn
  std::size_t brush;
  std::size_t pen;
  bool released;
};

// Index = stock object number for the first nine.
std::vector<GdiObject> objects = {
    {GdiKind::Brush, RGB(255, 255, 255), false, true, false}, {GdiKind::Brush, RGB(192, 192, 192), false, true, false},
    {GdiKind::Brush, RGB(128, 128, 128), false, true, false}, {GdiKind::Brush, RGB(64, 64, 64), false, true, false},
    {GdiKind::Brush, RGB(0, 0, 0), false, true, false},       {GdiKind::Brush, 0, true, true, false},
    {GdiKind::Pen, RGB(255, 255, 255), false, true, false},   {GdiKind::Pen, RGB(0, 0, 0), false, true, false},
    {GdiKind::Pen, 0, true, true, false}};
std::vector<DeviceContext> contexts;

HGDIOBJ ToObject(std::size_t index) { return reinterpret_cast<HGDIOBJ>(kObjectBase + index * 4); }

GdiObject* LookupObject(HGDIOBJ handle, std::size_t* index = nullptr) {
  auto value = reinterpret_cast<std::uintptr_t>(handle);
  if (value < kObjectBase || (value - kObjectBase) % 4 != 0) return nullptr;
  std::size_t i = (value - kObjectBase) / 4;
  if (i >= objects.size() || objects[i].deleted) return nullptr;
  if (index != nullptr) *index = i;
  return &objects[i];
}

DeviceContext* LookupDc(HDC dc) {
  auto value = reinterpret_cast<std::uintptr_t>(dc);
  if (value < kDcBase + 4 || (value - kDcBase) % 4 != 0) return nullptr;
  std::size_t i = (value - kDcBase) / 4 - 1;
  if (i >= contexts.size() || contexts[i].released) return nullptr;
  return &contexts[i];
}

std::uint32_t ToPixel(COLORREF colour) {
  return (std::uint32_t{GetRValue(colour)} << 16) | (std::uint32_t{GetGValue(colour)} << 8) | GetBValue(colour);
}

// Fills [left, right) x [top, bottom), clipped to the client pixels.
void Fill(Window& window, int left, int top, int right, int bottom, std::uint32_t pixel) {
  left = std::max(left, 0);
  top = std::max(top, 0);
  right = std::min(right, window.pixelWidth);
  bottom = std::min(bottom, window.pixelHeight);
  for (int y = top; y < bottom; ++y)
    std::fill_n(window.pixels.begin() + static_cast<std::ptrdiff_t>(y) * window.pixelWidth + left,
                std::max(0, right - left), pixel);
}

Window* DcWindow(const DeviceContext& dc) { return WindowById(dc.window); }

int ChannelShift(DWORD mask) {
  int shift = 0;
  while (mask != 0 && !(mask & 1)) {
    mask >>= 1;
    ++shift;
  }
  return shift;
}

std::uint32_t Expand(DWORD value, DWORD mask) {
  if (mask == 0) return 0;
  DWORD max = mask >> ChannelShift(mask);
  DWORD channel = (value & mask) >> ChannelShift(mask);
  return (channel * 255 + max / 2) / max;
}

}  // namespace

HDC WINAPI GetDC(HWND hwnd) {
  std::unique_lock<std::mutex> held(Global().lock);
  UINT id = 0;
  if (hwnd != nullptr) {
    Window* window = LookupWindow(hwnd);
    if (window == nullptr) return nullptr;
    id = window->id;
  }
  // Reuse released records so that a GetDC per frame does not grow the table.
  std::size_t i = 0;
  while (i < contexts.size() && !contexts[i].released) ++i;
  DeviceContext dc{id, WHITE_BRUSH, BLACK_PEN, false};
  if (i == contexts.size())
    contexts.push_back(dc);
  else
    contexts[i] = dc;
  return reinterpret_cast<HDC>(kDcBase + (i + 1) * 4);
}

int WINAPI ReleaseDC(HWND, HDC handle) {
  std::unique_lock<std::mutex> held(Global().lock);
  DeviceContext* dc = LookupDc(handle);
  if (dc == nullptr) return 0;
  dc->released = true;
  return 1;
}

HGDIOBJ WINAPI GetStockObject(int object) {
  if (object < WHITE_BRUSH || object > NULL_PEN) return nullptr;
  return ToObject(static_cast<std::size_t>(object));
}

HGDIOBJ WINAPI SelectObject(HDC handle, HGDIOBJ object) {
  std::unique_lock<std::mutex> held(Global().lock);
  DeviceContext* dc = LookupDc(handle);
  std::size_t index;
  GdiObject* selected = LookupObject(object, &index);
  if (dc == nullptr || selected == nullptr) return nullptr;
  std::size_t& slot = selected->kind == GdiKind::Brush ? dc->brush : dc->pen;
  std::size_t previous = slot;
  slot = index;
  return ToObject(previous);
}

BOOL WINAPI DeleteObject(HGDIOBJ handle) {
  std::unique_lock<std::mutex> held(Global().lock);
  std::size_t index;
  GdiObject* object = LookupObject(handle, &index);
  if (object == nullptr) return FALSE;
  if (object->stock) return TRUE;  // deleting a stock object is allowed and does nothing
  for (const DeviceContext& dc : contexts)
    if (!dc.released && (dc.brush == index || dc.pen == index)) return FALSE;  // still selected
  object->deleted = true;
  return TRUE;
}

HBRUSH WINAPI CreateSolidBrush(COLORREF colour) {
  std::unique_lock<std::mutex> held(Global().lock);
  objects.push_back({GdiKind::Brush, colour, false, false, false});
  return static_cast<HBRUSH>(ToObject(objects.size() - 1));
}

HPEN WINAPI CreatePen(int style, int width, COLORREF colour) {
  std::unique_lock<std::mutex> held(Global().lock);
  // Every pen draws one pixel wide: the system draws with the stock pens only.
  objects.push_back({GdiKind::Pen, colour, style == PS_NULL, false, false});
  return static_cast<HPEN>(ToObject(objects.size() - 1));
}

BOOL WINAPI Rectangle(HDC handle, int left, int top, int right, int bottom) {
  std::unique_lock<std::mutex> held(Global().lock);
  DeviceContext* dc = LookupDc(handle);
  if (dc == nullptr) return FALSE;
  Window* window = DcWindow(*dc);
  if (window == nullptr) return dc->window == 0;
  if (left > right) std::swap(left, right);
  if (top > bottom) std::swap(top, bottom);
  const GdiObject& brush = objects[dc->brush];
  const GdiObject& pen = objects[dc->pen];
  if (pen.hollow) {
    // Without an outline the filled area is one pixel smaller to the right and bottom.
    if (!brush.hollow) Fill(*window, left, top, right - 1, bottom - 1, ToPixel(brush.colour));
  } else if (right > left && bottom > top) {
    if (!brush.hollow) Fill(*window, left + 1, top + 1, right - 1, bottom - 1, ToPixel(brush.colour));
    std::uint32_t outline = ToPixel(pen.colour);
    Fill(*window, left, top, right, top + 1, outline);
    Fill(*window, left, bottom - 1, right, bottom, outline);
    Fill(*window, left, top, left + 1, bottom, outline);
    Fill(*window, right - 1, top, right, bottom, outline);
  }
  MarkPixelsChanged(*window);
  return TRUE;
}

int WINAPI FillRect(HDC handle, const RECT* rect, HBRUSH brushHandle) {
  std::unique_lock<std::mutex> held(Global().lock);
  DeviceContext* dc = LookupDc(handle);
  GdiObject* brush = LookupObject(brushHandle);
  if (dc == nullptr || rect == nullptr || brush == nullptr || brush->kind != GdiKind::Brush) return 0;
  Window* window = DcWindow(*dc);
  if (window == nullptr) return dc->window == 0;
  if (!brush->hollow) Fill(*window, rect->left, rect->top, rect->right, rect->bottom, ToPixel(brush->colour));
  MarkPixelsChanged(*window);
  return 1;
}

int WINAPI StretchDIBits(HDC handle, int xDest, int yDest, int destWidth, int destHeight, int xSrc, int ySrc,
                         int srcWidth, int srcHeight, const void* bits, const BITMAPINFO* info, UINT usage,
                         DWORD rop) {
  if (bits == nullptr || info == nullptr || usage != DIB_RGB_COLORS || rop != SRCCOPY) return 0;
  const BITMAPINFOHEADER& header = info->bmiHeader;
  DWORD masks[3];
  if (header.biBitCount == 16 && header.biCompression == BI_BITFIELDS) {
    std::memcpy(masks, info->bmiColors, sizeof masks);
  } else if (header.biBitCount == 16 && header.biCompression == BI_RGB) {
    masks[0] = 0x7C00, masks[1] = 0x03E0, masks[2] = 0x001F;
  } else if (header.biBitCount == 32 && header.biCompression == BI_RGB) {
    masks[0] = 0xFF0000, masks[1] = 0x00FF00, masks[2] = 0x0000FF;
  } else {
    return 0;
  }
  int width = header.biWidth;
  int height = header.biHeight < 0 ? -header.biHeight : header.biHeight;
  bool bottomUp = header.biHeight > 0;
  if (width <= 0 || height == 0 || destWidth <= 0 || destHeight <= 0 || srcWidth <= 0 || srcHeight <= 0 ||
      xSrc < 0 || ySrc < 0 || xSrc + srcWidth > width || ySrc + srcHeight > height)
    return 0;
  int bytesPerPixel = header.biBitCount / 8;
  std::size_t stride = (static_cast<std::size_t>(width) * bytesPerPixel + 3) & ~std::size_t{3};

  std::unique_lock<std::mutex> held(Global().lock);
  DeviceContext* dc = LookupDc(handle);
  if (dc == nullptr) return 0;
  Window* window = DcWindow(*dc);
  if (window == nullptr) return dc->window == 0 ? srcHeight : 0;
  const auto* base = static_cast<const unsigned char*>(bits);
  int x0 = std::max(xDest, 0), x1 = std::min(xDest + destWidth, window->pixelWidth);
  int y0 = std::max(yDest, 0), y1 = std::min(yDest + destHeight, window->pixelHeight);
  for (int y = y0; y < y1; ++y) {
    // Row 0 of the source rectangle is its top row; a bottom-up DIB stores its bottom row first.
    int r = static_cast<int>(static_cast<std::int64_t>(y - yDest) * srcHeight / destHeight);
    int stored = bottomUp ? ySrc + (srcHeight - 1 - r) : ySrc + r;
    const unsigned char* row = base + static_cast<std::size_t>(stored) * stride;
    std::uint32_t* out = window->pixels.data() + static_cast<std::size_t>(y) * window->pixelWidth;
    for (int x = x0; x < x1; ++x) {
      int c = xSrc + static_cast<int>(static_cast<std::int64_t>(x - xDest) * srcWidth / destWidth);
      DWORD value;
      if (bytesPerPixel == 2) {
        std::uint16_t v;
        std::memcpy(&v, row + c * 2, 2);
        value = v;
      } else {
        std::memcpy(&value, row + c * 4, 4);
      }
      out[x] = (Expand(value, masks[0]) << 16) | (Expand(value, masks[1]) << 8) | Expand(value, masks[2]);
    }
  }
  MarkPixelsChanged(*window);
  return srcHeight;
}

int WINAPI SetDIBitsToDevice(HDC dc, int xDest, int yDest, DWORD width, DWORD height, int xSrc, int ySrc,
                             UINT startScan, UINT scanLines, const void* bits, const BITMAPINFO* info, UINT usage) {
  // Whole-bitmap copies only (bands are not needed by the system).
  int dibHeight = info == nullptr ? 0 : std::abs(info->bmiHeader.biHeight);
  if (startScan != 0 || scanLines != static_cast<UINT>(dibHeight)) return 0;
  return StretchDIBits(dc, xDest, yDest, static_cast<int>(width), static_cast<int>(height), xSrc, ySrc,
                       static_cast<int>(width), static_cast<int>(height), bits, info, usage, SRCCOPY);
}

HDC WINAPI BeginPaint(HWND hwnd, LPPAINTSTRUCT paint) {
  if (paint == nullptr) return nullptr;
  HDC dc = GetDC(hwnd);
  if (dc == nullptr) return nullptr;
  std::unique_lock<std::mutex> held(Global().lock);
  Window* window = LookupWindow(hwnd);
  if (window == nullptr) return nullptr;
  bool erase = window->erase;
  window->needsPaint = false;
  window->erase = false;
  *paint = PAINTSTRUCT{};
  paint->hdc = dc;
  paint->rcPaint = ClientRect(*window);
  paint->fErase = erase ? TRUE : FALSE;
  if (erase && Send(held, *window, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0) != 0) paint->fErase = FALSE;
  return dc;
}

BOOL WINAPI EndPaint(HWND hwnd, const PAINTSTRUCT* paint) {
  if (paint != nullptr) ReleaseDC(hwnd, paint->hdc);
  return TRUE;
}

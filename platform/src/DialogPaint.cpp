// Draws a dialog the way the grey 3-D controls of the time looked: etched group frames, sunken
// fields and check boxes, raised buttons, the default button's black frame, dotted focus marks.
#include <algorithm>

#include "Dialog.h"

namespace vemora::platform {

namespace {

constexpr std::uint32_t kFace = 0xC0C0C0;
constexpr std::uint32_t kHighlight = 0xFFFFFF;
constexpr std::uint32_t kLight = 0xDFDFDF;
constexpr std::uint32_t kShadow = 0x808080;
constexpr std::uint32_t kDarkShadow = 0x000000;
constexpr std::uint32_t kWindow = 0xFFFFFF;
constexpr std::uint32_t kText = 0x000000;
constexpr std::uint32_t kSelection = 0x000080;
constexpr std::uint32_t kSelectionText = 0xFFFFFF;

// The check mark, 7 x 7, drawn 3 pixels inside the box.
constexpr const char* kCheckMark[] = {"......#", ".....##", "#...###", "##.###.", "#####..", ".###...", "..#...."};

RECT Inset(const RECT& r, int by) { return RECT{r.left + by, r.top + by, r.right - by, r.bottom - by}; }

class Painter {
 public:
  Painter(const Canvas& canvas, const Dialog& dialog) : canvas_(canvas), dialog_(dialog) {}

  void Fill(const RECT& r, std::uint32_t colour) const {
    for (int y = std::max<int>(r.top, 0); y < std::min<int>(r.bottom, canvas_.height); ++y)
      for (int x = std::max<int>(r.left, 0); x < std::min<int>(r.right, canvas_.width); ++x) Put(x, y, colour);
  }

  // One-pixel edge: top and left in one colour, bottom and right in the other.
  void Edge(const RECT& r, std::uint32_t topLeft, std::uint32_t bottomRight) const {
    Fill(RECT{r.left, r.top, r.right, r.top + 1}, topLeft);
    Fill(RECT{r.left, r.top, r.left + 1, r.bottom}, topLeft);
    Fill(RECT{r.left, r.bottom - 1, r.right, r.bottom}, bottomRight);
    Fill(RECT{r.right - 1, r.top, r.right, r.bottom}, bottomRight);
  }
  void Raised(const RECT& r) const {
    Edge(r, kHighlight, kDarkShadow);
    Edge(Inset(r, 1), kLight, kShadow);
  }
  void Sunken(const RECT& r) const {
    Edge(r, kShadow, kHighlight);
    Edge(Inset(r, 1), kDarkShadow, kLight);
  }
  void Etched(const RECT& r) const {
    Edge(r, kShadow, kHighlight);
    Edge(Inset(r, 1), kHighlight, kShadow);
  }
  // Every other pixel, as the focus rectangle of the time.
  void FocusMark(const RECT& r) const {
    for (int x = r.left; x < r.right; ++x) {
      if ((x - r.left) % 2 == 0) {
        PutClipped(x, r.top, kText);
        PutClipped(x, r.bottom - 1, kText);
      }
    }
    for (int y = r.top; y < r.bottom; ++y) {
      if ((y - r.top) % 2 == 0) {
        PutClipped(r.left, y, kText);
        PutClipped(r.right - 1, y, kText);
      }
    }
  }
  // A solid black triangle pointing down (or up), 7 pixels wide, centred in r.
  void Arrow(const RECT& r, bool up) const {
    const int cx = (r.left + r.right) / 2, cy = (r.top + r.bottom) / 2 - 2;
    for (int row = 0; row < 4; ++row) {
      const int half = up ? row : 3 - row;
      Fill(RECT{cx - half, cy + row, cx + half + 1, cy + row + 1}, kText);
    }
  }
  void Text(int x, int y, const std::string& text, std::uint32_t colour, const RECT& clip) const {
    dialog_.face->Draw(canvas_, dialog_.fontPixels, x, y, text, colour, clip);
  }
  int Width(const std::string& text) const { return dialog_.face->Width(dialog_.fontPixels, text); }
  int LineHeight() const { return dialog_.baseY; }

 private:
  void Put(int x, int y, std::uint32_t colour) const { canvas_.pixels[static_cast<std::ptrdiff_t>(y) * canvas_.width + x] = colour; }
  void PutClipped(int x, int y, std::uint32_t colour) const {
    if (x >= 0 && y >= 0 && x < canvas_.width && y < canvas_.height) Put(x, y, colour);
  }

  Canvas canvas_;
  const Dialog& dialog_;
};

void PaintGroupBox(const Painter& p, const Control& c) {
  const RECT& r = c.rect;
  p.Etched(RECT{r.left, r.top + p.LineHeight() / 2 - 1, r.right, r.bottom});
  const int x = r.left + 8;
  p.Fill(RECT{x - 1, r.top, x + p.Width(c.text) + 1, r.top + p.LineHeight()}, kFace);
  p.Text(x, r.top, c.text, kText, r);
}

void PaintCheckBox(const Painter& p, const Dialog& d, const Control& c, int index) {
  const RECT box = CheckSquareRect(c);
  const bool pressed = d.pressed == index && d.pressedInside;
  p.Sunken(box);
  p.Fill(Inset(box, 2), pressed ? kFace : kWindow);
  if (c.check == BST_CHECKED)
    for (int y = 0; y < 7; ++y)
      for (int x = 0; x < 7; ++x)
        if (kCheckMark[y][x] == '#') p.Fill(RECT{box.left + 3 + x, box.top + 3 + y, box.left + 4 + x, box.top + 4 + y}, kText);
  const int textX = box.right + 4, textY = c.rect.top + (c.rect.bottom - c.rect.top - p.LineHeight()) / 2;
  p.Text(textX, textY, c.text, kText, c.rect);
  if (d.focus == index)
    p.FocusMark(RECT{textX - 1, textY - 1, std::min<int>(textX + p.Width(c.text) + 1, c.rect.right), textY + p.LineHeight() + 1});
}

void PaintPushButton(const Painter& p, const Dialog& d, const Control& c, int index) {
  // A focused push button is the default one while it has the focus.
  const bool focusOnButton = d.focus >= 0 && d.controls[d.focus].kind == ControlKind::PushButton;
  const bool isDefault = focusOnButton ? d.focus == index : c.id == d.defaultId;
  const bool pressed = d.pressed == index && d.pressedInside;
  RECT face = c.rect;
  if (isDefault) {
    p.Edge(face, kDarkShadow, kDarkShadow);
    face = Inset(face, 1);
  }
  p.Fill(face, kFace);
  if (pressed)
    p.Edge(face, kShadow, kShadow);
  else
    p.Raised(face);
  const int shift = pressed ? 1 : 0;
  const int x = (c.rect.left + c.rect.right - p.Width(c.text)) / 2 + shift;
  const int y = (c.rect.top + c.rect.bottom - p.LineHeight()) / 2 + shift;
  p.Text(x, y, c.text, kText, Inset(face, 2));
  if (d.focus == index) p.FocusMark(Inset(c.rect, 4));
}

// The field's text scrolled so that the caret stays in view.
int ScrollForCaret(const Painter& p, const Control& c, const RECT& area) {
  const int caretX = p.Width(c.text.substr(0, c.caret));
  return std::max(0, caretX - (area.right - area.left - 3));
}

void PaintCombo(const Painter& p, const Dialog& d, const Control& c, int index) {
  p.Sunken(c.rect);
  p.Fill(Inset(c.rect, 2), kWindow);
  const RECT button = DropButtonRect(c);
  p.Fill(button, kFace);
  if (d.drop.control == index)
    p.Edge(button, kShadow, kShadow);
  else
    p.Raised(button);
  p.Arrow(button, false);
  const RECT area = FieldTextRect(c);
  const int y = area.top + (area.bottom - area.top - p.LineHeight()) / 2;
  const bool focused = d.focus == index;
  const std::string shown = ShownText(c);
  if (c.kind == ControlKind::DropDownList) {
    const bool marked = focused && d.drop.control != index;
    if (marked) p.Fill(area, kSelection);
    p.Text(area.left + 1, y, shown, marked ? kSelectionText : kText, area);
    if (marked) p.FocusMark(area);
    return;
  }
  const int x = area.left + 1 - (focused ? ScrollForCaret(p, c, area) : 0);
  p.Text(x, y, shown, kText, area);
  if (!focused) return;
  const int low = std::min(c.caret, c.anchor), high = std::max(c.caret, c.anchor);
  if (low == high) {
    const int caretX = x + p.Width(shown.substr(0, c.caret));
    p.Fill(RECT{caretX, y, caretX + 1, y + p.LineHeight()}, kText);
    return;
  }
  const int from = x + p.Width(shown.substr(0, low)), to = x + p.Width(shown.substr(0, high));
  const RECT marked{std::max<int>(from, area.left), y, std::min<int>(to, area.right), y + p.LineHeight()};
  p.Fill(marked, kSelection);
  p.Text(from, y, shown.substr(low, high - low), kSelectionText, marked);
}

void PaintScrollBar(const Painter& p, const ListGeometry& list, int count, int top) {
  const ScrollParts parts = ScrollPartsOf(list, count, top);
  // The track: white and grey pixels in a checkerboard.
  for (int y = list.bar.top; y < list.bar.bottom; ++y)
    for (int x = list.bar.left; x < list.bar.right; ++x)
      p.Fill(RECT{x, y, x + 1, y + 1}, (x + y) % 2 == 0 ? kHighlight : kFace);
  for (const RECT& part : {parts.up, parts.down, parts.thumb}) {
    p.Fill(part, kFace);
    p.Raised(part);
  }
  p.Arrow(parts.up, true);
  p.Arrow(parts.down, false);
}

void PaintDroppedList(const Painter& p, const Dialog& d) {
  const Control& c = d.controls[d.drop.control];
  const ListGeometry list = ListOf(d, c);
  p.Edge(list.rect, kDarkShadow, kDarkShadow);
  const RECT inside = Inset(list.rect, 1);
  p.Fill(inside, kWindow);
  const int itemsRight = list.scrollBar ? list.bar.left : inside.right;
  for (int row = 0; row < list.rows; ++row) {
    const int item = d.drop.top + row;
    if (item >= static_cast<int>(c.items.size())) break;
    const RECT line{inside.left, inside.top + row * list.itemHeight, itemsRight, inside.top + (row + 1) * list.itemHeight};
    const bool marked = item == d.drop.highlight;
    if (marked) p.Fill(line, kSelection);
    p.Text(line.left + 2, line.top, c.items[item], marked ? kSelectionText : kText, line);
  }
  if (list.scrollBar) PaintScrollBar(p, list, static_cast<int>(c.items.size()), d.drop.top);
}

}  // namespace

void PaintDialog(Dialog& dialog, Window& window) {
  if (window.pixels.empty()) return;
  const Painter p(Canvas{window.pixels.data(), window.pixelWidth, window.pixelHeight}, dialog);
  p.Fill(RECT{0, 0, window.pixelWidth, window.pixelHeight}, kFace);
  for (std::size_t i = 0; i < dialog.controls.size(); ++i) {
    const Control& c = dialog.controls[i];
    if (!c.Visible()) continue;
    const int index = static_cast<int>(i);
    switch (c.kind) {
      case ControlKind::GroupBox: PaintGroupBox(p, c); break;
      case ControlKind::Label: p.Text(c.rect.left, c.rect.top, c.text, kText, c.rect); break;
      case ControlKind::CheckBox: PaintCheckBox(p, dialog, c, index); break;
      case ControlKind::PushButton: PaintPushButton(p, dialog, c, index); break;
      case ControlKind::DropDownList:
      case ControlKind::DropDownCombo: PaintCombo(p, dialog, c, index); break;
      case ControlKind::Other: break;
    }
  }
  if (dialog.drop.control >= 0) PaintDroppedList(p, dialog);
}

}  // namespace vemora::platform

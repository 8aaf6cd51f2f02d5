// The dialog's controls: kinds from the template, the messages they answer with Win32's results,
// and where their parts lie.
#include <algorithm>
#include <cctype>
#include <cstring>

#include "Dialog.h"

namespace vemora::platform {

namespace {

constexpr int kEdge = 2;          // sunken or raised 3-D edge
constexpr int kArrowWidth = 16;   // drop-down button and scroll bar
constexpr int kCheckSquare = 13;
constexpr int kMinThumb = 8;

LRESULT CopyText(const std::string& text, WPARAM capacity, LPARAM buffer) {
  if (capacity == 0 || buffer == 0) return 0;
  const std::size_t count = std::min<std::size_t>(text.size(), capacity - 1);
  auto* out = reinterpret_cast<char*>(buffer);
  std::memcpy(out, text.data(), count);
  out[count] = '\0';
  return static_cast<LRESULT>(count);
}

bool ValidItem(const Control& control, WPARAM index) {
  return static_cast<INT_PTR>(index) >= 0 && static_cast<std::size_t>(index) < control.items.size();
}

LRESULT ComboMessage(Control& control, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case CB_ADDSTRING:
      if (lParam == 0) return CB_ERR;
      control.items.emplace_back(reinterpret_cast<const char*>(lParam));
      return static_cast<LRESULT>(control.items.size() - 1);
    case CB_GETCOUNT:
      return static_cast<LRESULT>(control.items.size());
    case CB_GETCURSEL:
      return control.selection;
    case CB_SETCURSEL:
      // An index outside the list, -1 included, clears the selection and fails.
      control.selection = ValidItem(control, wParam) ? static_cast<int>(wParam) : -1;
      if (control.kind == ControlKind::DropDownCombo)
        SetEditText(control, control.selection >= 0 ? control.items[control.selection] : std::string());
      return control.selection >= 0 ? control.selection : CB_ERR;
    case CB_GETLBTEXT:
      if (!ValidItem(control, wParam) || lParam == 0) return CB_ERR;
      return CopyText(control.items[wParam], control.items[wParam].size() + 1, lParam);
    case CB_GETLBTEXTLEN:
      return ValidItem(control, wParam) ? static_cast<LRESULT>(control.items[wParam].size()) : CB_ERR;
    case CB_SETDROPPEDWIDTH:
      if (wParam >= 32768) return CB_ERR;
      control.droppedWidth = static_cast<int>(wParam);
      [[fallthrough]];
    case CB_GETDROPPEDWIDTH:
      return std::max<LRESULT>(control.droppedWidth, control.rect.right - control.rect.left);
    default:
      return 0;
  }
}

}  // namespace

ControlKind KindOf(const std::string& className, DWORD style) {
  if (className == "static") return ControlKind::Label;
  if (className == "combobox") {
    switch (style & 3) {
      case CBS_DROPDOWNLIST: return ControlKind::DropDownList;
      case CBS_DROPDOWN: return ControlKind::DropDownCombo;
      default: return ControlKind::Other;
    }
  }
  if (className != "button") return ControlKind::Other;
  switch (style & BS_TYPEMASK) {
    case BS_PUSHBUTTON:
    case BS_DEFPUSHBUTTON: return ControlKind::PushButton;
    case BS_AUTOCHECKBOX: return ControlKind::CheckBox;
    case BS_GROUPBOX: return ControlKind::GroupBox;
    default: return ControlKind::Other;
  }
}

std::string ShownText(const Control& control) {
  if (control.kind != ControlKind::DropDownList) return control.text;
  return control.selection >= 0 ? control.items[control.selection] : std::string();
}

void SetEditText(Control& control, const std::string& text) {
  control.text = text;
  control.anchor = 0;
  control.caret = static_cast<int>(text.size());
}

LRESULT ControlMessage(Control& control, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_GETTEXT:
      return CopyText(ShownText(control), wParam, lParam);
    case WM_GETTEXTLENGTH:
      return static_cast<LRESULT>(ShownText(control).size());
    case WM_SETTEXT:
      if (control.kind == ControlKind::DropDownList) return CB_ERR;  // it shows only its items
      control.text = lParam != 0 ? reinterpret_cast<const char*>(lParam) : "";
      control.caret = control.anchor = 0;
      return TRUE;
    case BM_GETCHECK:
      return control.kind == ControlKind::CheckBox ? control.check : BST_UNCHECKED;
    case BM_SETCHECK:
      if (control.kind == ControlKind::CheckBox) control.check = wParam == BST_CHECKED ? BST_CHECKED : BST_UNCHECKED;
      return 0;
    default:
      return control.IsCombo() ? ComboMessage(control, message, wParam, lParam) : 0;
  }
}

RECT DropButtonRect(const Control& control) {
  const RECT& r = control.rect;
  return RECT{r.right - kEdge - kArrowWidth, r.top + kEdge, r.right - kEdge, r.bottom - kEdge};
}

RECT FieldTextRect(const Control& control) {
  const RECT& r = control.rect;
  return RECT{r.left + kEdge + 1, r.top + kEdge + 1, DropButtonRect(control).left - 1, r.bottom - kEdge - 1};
}

RECT CheckSquareRect(const Control& control) {
  const RECT& r = control.rect;
  const int top = r.top + (r.bottom - r.top - kCheckSquare) / 2;
  return RECT{r.left, top, r.left + kCheckSquare, top + kCheckSquare};
}

ListGeometry ListOf(const Dialog& dialog, const Control& control) {
  ListGeometry list;
  list.itemHeight = std::max(1, dialog.baseY);
  const int count = static_cast<int>(control.items.size());
  const int fit = std::max(1, (control.listSpace - 2) / list.itemHeight);
  list.rows = std::max(1, std::min(count, fit));
  const int width = std::max<int>(control.droppedWidth, control.rect.right - control.rect.left);
  const int height = list.rows * list.itemHeight + 2;
  // Kept inside the dialog: shifted left, or above the field when there is no room below.
  int left = std::max(0, std::min<int>(control.rect.left, dialog.clientWidth - width));
  int top = control.rect.bottom;
  if (top + height > dialog.clientHeight && control.rect.top - height >= 0) top = control.rect.top - height;
  list.rect = RECT{left, top, left + width, top + height};
  list.scrollBar = (control.style & WS_VSCROLL) && count > list.rows;
  if (list.scrollBar) list.bar = RECT{list.rect.right - 1 - kArrowWidth, top + 1, list.rect.right - 1, top + height - 1};
  return list;
}

int MaxTop(const ListGeometry& list, int count) { return std::max(0, count - list.rows); }

ScrollParts ScrollPartsOf(const ListGeometry& list, int count, int top) {
  const RECT& bar = list.bar;
  const int arrow = std::min(kArrowWidth, (bar.bottom - bar.top) / 2);  // short bars squeeze their arrows
  const int trackTop = bar.top + arrow;
  const int track = std::max(0, bar.bottom - arrow - trackTop);
  const int thumb = std::min(track, std::max(kMinThumb, count > 0 ? track * list.rows / count : track));
  const int range = MaxTop(list, count);
  const int offset = range > 0 ? (track - thumb) * top / range : 0;
  return ScrollParts{RECT{bar.left, bar.top, bar.right, trackTop}, RECT{bar.left, bar.bottom - arrow, bar.right, bar.bottom},
                     RECT{bar.left, trackTop + offset, bar.right, trackTop + offset + thumb}, trackTop, track - thumb};
}

void Notify(const Dialog& dialog, int index, int code, Notifications& out) {
  out.emplace_back(MAKEWPARAM(dialog.controls[index].id, code), reinterpret_cast<LPARAM>(ControlHandle(dialog, index)));
}

namespace {

int CompareNoCase(const std::string& a, const std::string& b, std::size_t length) {
  for (std::size_t i = 0; i < length; ++i) {
    const int difference = std::tolower(static_cast<unsigned char>(a[i])) - std::tolower(static_cast<unsigned char>(b[i]));
    if (difference != 0) return difference;
  }
  return 0;
}

}  // namespace

int ItemStartingWith(const Control& control, const std::string& prefix, int after) {
  const int count = ItemCount(control);
  for (int step = 1; step <= count; ++step) {
    const int item = ((after + step) % count + count) % count;
    const std::string& text = control.items[item];
    if (text.size() >= prefix.size() && CompareNoCase(text, prefix, prefix.size()) == 0) return item;
  }
  return -1;
}

void Choose(Control& control, int item) {
  control.selection = item;
  if (control.kind == ControlKind::DropDownCombo) SetEditText(control, control.items[item]);
}


}  // namespace vemora::platform

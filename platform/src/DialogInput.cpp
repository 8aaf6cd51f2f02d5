// What the user does to a dialog with keyboard and mouse, as the dialog manager and the
// controls of the time answer it: focus and tab stops, buttons, drop-down lists, the edit field.
#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "Dialog.h"

namespace vemora::platform {

namespace {

constexpr int kWheelLines = 3;

// --- Selection of a closed combo box

void StepSelection(Dialog& dialog, int index, int item, Notifications& out) {
  Control& control = dialog.controls[index];
  if (control.items.empty()) return;
  item = std::clamp(item, 0, ItemCount(control) - 1);
  if (item == control.selection) return;
  Choose(control, item);
  Notify(dialog, index, CBN_SELCHANGE, out);
  dialog.dirty = true;
}

// --- The edit field

std::size_t NextCharacter(const std::string& text, std::size_t at) {
  if (at >= text.size()) return text.size();
  ++at;
  while (at < text.size() && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80) ++at;
  return at;
}

std::size_t PreviousCharacter(const std::string& text, std::size_t at) {
  if (at == 0) return 0;
  --at;
  while (at > 0 && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80) --at;
  return at;
}

void InsertText(Dialog& dialog, int index, const std::string& text, Notifications& out) {
  Control& control = dialog.controls[index];
  const int low = std::min(control.caret, control.anchor), high = std::max(control.caret, control.anchor);
  control.text.replace(low, high - low, text);
  control.caret = control.anchor = low + static_cast<int>(text.size());
  // The list follows the text: the item it starts while the list is open, none otherwise.
  control.selection = -1;
  if (dialog.drop.control == index) {
    const int item = control.text.empty() ? -1 : ItemStartingWith(control, control.text, -1);
    dialog.drop.highlight = -1;
    if (item >= 0) MoveHighlight(dialog, item);
  }
  Notify(dialog, index, CBN_EDITUPDATE, out);
  Notify(dialog, index, CBN_EDITCHANGE, out);
  dialog.dirty = true;
}

void Erase(Dialog& dialog, int index, bool forward, Notifications& out) {
  Control& control = dialog.controls[index];
  if (control.caret == control.anchor) {
    const std::size_t at = static_cast<std::size_t>(control.caret);
    control.anchor = static_cast<int>(forward ? NextCharacter(control.text, at) : PreviousCharacter(control.text, at));
    if (control.anchor == control.caret) return;
  }
  InsertText(dialog, index, std::string(), out);
}

void MoveCaret(Dialog& dialog, Control& control, std::size_t to, bool extend) {
  control.caret = static_cast<int>(to);
  if (!extend) control.anchor = control.caret;
  dialog.dirty = true;
}

// The caret position nearest to x.
std::size_t CaretAt(const Dialog& dialog, const Control& control, int x) {
  const int offset = x - (FieldTextRect(control).left + 1);
  std::size_t best = 0;
  for (std::size_t at = 0; at <= control.text.size(); at = NextCharacter(control.text, at)) {
    const int width = dialog.face->Width(dialog.fontPixels, control.text.substr(0, at));
    const int before = dialog.face->Width(dialog.fontPixels, control.text.substr(0, best));
    if (std::abs(width - offset) < std::abs(before - offset)) best = at;
    if (at == control.text.size()) break;
  }
  return best;
}

// --- Focus, buttons and keys

int NextTabStop(const Dialog& dialog, bool backwards) {
  const int count = static_cast<int>(dialog.controls.size());
  int index = dialog.focus;
  for (int step = 0; step < count; ++step) {
    index = backwards ? (index <= 0 ? count - 1 : index - 1) : (index + 1) % count;
    const Control& control = dialog.controls[index];
    if (control.Focusable() && (control.style & WS_TABSTOP)) return index;
  }
  return -1;
}

// Arrow keys on a button move through the controls of its group (up to the next WS_GROUP).
int NextInGroup(const Dialog& dialog, bool backwards) {
  const int count = static_cast<int>(dialog.controls.size());
  int first = dialog.focus, end = dialog.focus + 1;
  while (first > 0 && !(dialog.controls[first].style & WS_GROUP)) --first;
  while (end < count && !(dialog.controls[end].style & WS_GROUP)) ++end;
  const int size = end - first;
  int index = dialog.focus;
  for (int step = 1; step < size; ++step) {
    index = first + (index - first + (backwards ? size - 1 : 1)) % size;
    if (dialog.controls[index].Focusable()) return index;
  }
  return -1;
}

void PressEnter(Dialog& dialog, Notifications& out) {
  // A focused push button is the default one while it has the focus.
  int index = dialog.focus >= 0 && dialog.controls[dialog.focus].kind == ControlKind::PushButton
                  ? dialog.focus
                  : ControlIndex(dialog, dialog.defaultId);
  if (index >= 0) Notify(dialog, index, BN_CLICKED, out);
}

void ComboKey(Dialog& dialog, int key, KeyModifiers keys, Notifications& out) {
  const int index = dialog.focus;
  Control& control = dialog.controls[index];
  const bool edit = control.kind == ControlKind::DropDownCombo;
  const int selection = control.selection;
  const int page = ListOf(dialog, control).rows;
  switch (key) {
    case VK_F4: OpenList(dialog, index, out); break;
    case VK_UP:
    case VK_DOWN:
      if (keys.alt)
        OpenList(dialog, index, out);
      else
        StepSelection(dialog, index, selection < 0 ? 0 : selection + (key == VK_UP ? -1 : 1), out);
      break;
    case VK_LEFT:
    case VK_RIGHT:
      if (!edit) {
        StepSelection(dialog, index, selection < 0 ? 0 : selection + (key == VK_LEFT ? -1 : 1), out);
        break;
      }
      MoveCaret(dialog, control,
                key == VK_LEFT ? PreviousCharacter(control.text, control.caret) : NextCharacter(control.text, control.caret),
                keys.shift);
      break;
    case VK_HOME:
    case VK_END:
      if (edit)
        MoveCaret(dialog, control, key == VK_HOME ? 0 : control.text.size(), keys.shift);
      else
        StepSelection(dialog, index, key == VK_HOME ? 0 : ItemCount(control) - 1, out);
      break;
    case VK_PRIOR:
    case VK_NEXT:
      StepSelection(dialog, index, std::max(selection, 0) + (key == VK_PRIOR ? -page : page), out);
      break;
    case VK_BACK:
    case VK_DELETE:
      if (edit) Erase(dialog, index, key == VK_DELETE, out);
      break;
    default: break;
  }
}

void ListKey(Dialog& dialog, int key, KeyModifiers keys, Notifications& out) {
  const int highlight = dialog.drop.highlight;
  const Control& control = dialog.controls[dialog.drop.control];
  const int page = ListOf(dialog, control).rows;
  switch (key) {
    case VK_UP:
    case VK_DOWN:
      if (keys.alt)
        CloseList(dialog, true, out);
      else
        MoveHighlight(dialog, highlight < 0 ? 0 : highlight + (key == VK_UP ? -1 : 1));
      break;
    case VK_PRIOR: MoveHighlight(dialog, std::max(highlight, 0) - page); break;
    case VK_NEXT: MoveHighlight(dialog, std::max(highlight, 0) + page); break;
    case VK_HOME: MoveHighlight(dialog, 0); break;
    case VK_END: MoveHighlight(dialog, ItemCount(control) - 1); break;
    case VK_RETURN:
    case VK_F4: CloseList(dialog, true, out); break;
    case VK_ESCAPE: CloseList(dialog, false, out); break;
    case VK_TAB:
      CloseList(dialog, true, out);
      FocusControl(dialog, NextTabStop(dialog, keys.shift), out);
      break;
    default:
      if (control.kind == ControlKind::DropDownCombo) ComboKey(dialog, key, keys, out);  // editing goes on
      break;
  }
}

void KeyDown(Dialog& dialog, int key, KeyModifiers keys, Notifications& out) {
  if (dialog.drop.control >= 0) {
    ListKey(dialog, key, keys, out);
    return;
  }
  switch (key) {
    case VK_TAB: FocusControl(dialog, NextTabStop(dialog, keys.shift), out); return;
    case VK_RETURN: PressEnter(dialog, out); return;
    case VK_ESCAPE: out.emplace_back(MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(ControlHandle(dialog, ControlIndex(dialog, IDCANCEL)))); return;
    default: break;
  }
  if (dialog.focus < 0) return;
  const Control& control = dialog.controls[dialog.focus];
  if (control.IsCombo()) {
    ComboKey(dialog, key, keys, out);
  } else if (key == VK_SPACE) {
    dialog.pressed = dialog.focus;
    dialog.pressedInside = dialog.pressedBySpace = true;
    dialog.dirty = true;
  } else if (key == VK_LEFT || key == VK_UP || key == VK_RIGHT || key == VK_DOWN) {
    const int next = NextInGroup(dialog, key == VK_LEFT || key == VK_UP);
    if (next >= 0) FocusControl(dialog, next, out);
  }
}

void KeyUp(Dialog& dialog, int key, Notifications& out) {
  if (key != VK_SPACE || !dialog.pressedBySpace || dialog.pressed != dialog.focus) return;
  dialog.pressed = -1;
  dialog.pressedBySpace = false;
  ClickControl(dialog, dialog.focus, out);
}

void Character(Dialog& dialog, char typed, Notifications& out) {
  if (dialog.focus < 0 || typed < ' ' || typed > '~') return;
  Control& control = dialog.controls[dialog.focus];
  if (control.kind == ControlKind::DropDownCombo) {
    InsertText(dialog, dialog.focus, std::string(1, typed), out);
  } else if (control.kind == ControlKind::DropDownList) {
    // A letter jumps to the next item that starts with it.
    const bool open = dialog.drop.control == dialog.focus;
    const int item = ItemStartingWith(control, std::string(1, typed), open ? dialog.drop.highlight : control.selection);
    if (item < 0) return;
    if (open)
      MoveHighlight(dialog, item);
    else
      StepSelection(dialog, dialog.focus, item, out);
  }
}

int HitTest(const Dialog& dialog, int x, int y) {
  for (std::size_t i = 0; i < dialog.controls.size(); ++i) {
    const Control& control = dialog.controls[i];
    // Labels and group frames let the click through to what lies under them.
    if (control.Focusable() && Contains(control.rect, x, y)) return static_cast<int>(i);
  }
  return -1;
}

void Mouse(Dialog& dialog, UINT message, int x, int y, Notifications& out) {
  if (dialog.pressed >= 0 && !dialog.pressedBySpace) {
    const bool inside = Contains(dialog.controls[dialog.pressed].rect, x, y);
    if (inside != dialog.pressedInside) dialog.dirty = true;
    dialog.pressedInside = inside;
    if (message == WM_LBUTTONUP) {
      const int index = dialog.pressed;
      dialog.pressed = -1;
      dialog.dirty = true;
      if (inside) ClickControl(dialog, index, out);
      return;
    }
  }
  if (dialog.drop.control >= 0) {
    ListMouse(dialog, message, x, y, out);
    return;
  }
  if (message != WM_LBUTTONDOWN && message != WM_LBUTTONDBLCLK) return;
  const int index = HitTest(dialog, x, y);
  if (index < 0) return;
  FocusControl(dialog, index, out);
  Control& control = dialog.controls[index];
  if (control.IsButton()) {
    dialog.pressed = index;
    dialog.pressedInside = true;
    dialog.pressedBySpace = false;
    dialog.dirty = true;
  } else if (control.kind == ControlKind::DropDownList || Contains(DropButtonRect(control), x, y)) {
    OpenList(dialog, index, out);
    dialog.drop.tracking = true;
  } else {
    MoveCaret(dialog, control, CaretAt(dialog, control, x), false);
  }
}

void Wheel(Dialog& dialog, int delta, Notifications& out) {
  const int notches = delta / WHEEL_DELTA;
  if (dialog.drop.control >= 0) {
    ScrollList(dialog, dialog.drop.top - notches * kWheelLines);
  } else if (dialog.focus >= 0 && dialog.controls[dialog.focus].IsCombo()) {
    const int selection = dialog.controls[dialog.focus].selection;
    StepSelection(dialog, dialog.focus, selection < 0 ? 0 : selection - notches, out);
  }
}

}  // namespace

void FocusControl(Dialog& dialog, int index, Notifications& out) {
  if (index < 0 || dialog.focus == index) return;
  if (dialog.drop.control >= 0 && dialog.drop.control != index) CloseList(dialog, false, out);
  if (dialog.focus >= 0 && dialog.controls[dialog.focus].IsCombo()) Notify(dialog, dialog.focus, CBN_KILLFOCUS, out);
  dialog.focus = index;
  dialog.pressed = -1;
  Control& control = dialog.controls[index];
  if (control.kind == ControlKind::DropDownCombo) SetEditText(control, control.text);  // focus selects all the text
  if (control.IsCombo()) Notify(dialog, index, CBN_SETFOCUS, out);
  dialog.dirty = true;
}

void ClickControl(Dialog& dialog, int index, Notifications& out) {
  Control& control = dialog.controls[index];
  if (control.kind == ControlKind::CheckBox) control.check = control.check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED;
  if (control.IsButton()) Notify(dialog, index, BN_CLICKED, out);
  dialog.dirty = true;
}

void PickItem(Dialog& dialog, int index, int item, Notifications& out) {
  const Control& control = dialog.controls[index];
  if (!control.IsCombo() || item < 0 || item >= ItemCount(control)) return;
  FocusControl(dialog, index, out);
  if (dialog.drop.control != index) OpenList(dialog, index, out);
  MoveHighlight(dialog, item);
  CloseList(dialog, true, out);
}

void ReplaceText(Dialog& dialog, int index, const std::string& text, Notifications& out) {
  Control& control = dialog.controls[index];
  if (control.kind != ControlKind::DropDownCombo) return;
  FocusControl(dialog, index, out);
  control.anchor = 0;
  control.caret = static_cast<int>(control.text.size());
  InsertText(dialog, index, text, out);
}

bool HandleDialogInput(Dialog& dialog, const MSG& message, KeyModifiers keys, Notifications& out) {
  const int x = static_cast<short>(LOWORD(message.lParam)), y = static_cast<short>(HIWORD(message.lParam));
  switch (message.message) {
    case WM_KEYDOWN: KeyDown(dialog, static_cast<int>(message.wParam), keys, out); return true;
    case WM_KEYUP: KeyUp(dialog, static_cast<int>(message.wParam), out); return true;
    case WM_CHAR: Character(dialog, static_cast<char>(message.wParam), out); return true;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_LBUTTONUP:
    case WM_MOUSEMOVE: Mouse(dialog, message.message, x, y, out); return true;
    case WM_MOUSEWHEEL: Wheel(dialog, static_cast<short>(HIWORD(message.wParam)), out); return true;
    default: return false;
  }
}

}  // namespace vemora::platform
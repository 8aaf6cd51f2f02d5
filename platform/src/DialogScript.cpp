// Scripted answers to a dialog (tests and tools on the headless host): each step is what a user
// does, through the same handling as the keyboard and the mouse.
#include "Dialog.h"

namespace vemora::platform {

namespace {

void Input(Dialog& dialog, UINT message, WPARAM wParam, LPARAM lParam, KeyModifiers keys, Notifications& out) {
  HandleDialogInput(dialog, MSG{dialog.hwnd, message, wParam, lParam, 0, {}}, keys, out);
}

void Click(Dialog& dialog, LPARAM at, Notifications& out) {
  Input(dialog, WM_LBUTTONDOWN, MK_LBUTTON, at, {}, out);
  Input(dialog, WM_LBUTTONUP, 0, at, {}, out);
}

// A click at the middle of a visible control.
void ClickMiddle(Dialog& dialog, int index, Notifications& out) {
  if (index < 0 || !dialog.controls[index].Visible()) return;
  const RECT& r = dialog.controls[index].rect;
  Click(dialog, MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2), out);
}

// Down, the character it types (as TranslateMessage would make it), up.
void PressKey(Dialog& dialog, int key, bool shift, Notifications& out) {
  const KeyModifiers keys{shift, false};
  Input(dialog, WM_KEYDOWN, static_cast<WPARAM>(key), 1, keys, out);
  char typed = 0;
  if (key == VK_SPACE || (key >= '0' && key <= '9')) typed = static_cast<char>(key);
  if (key >= 'A' && key <= 'Z') typed = static_cast<char>(shift ? key : key - 'A' + 'a');
  if (typed != 0) Input(dialog, WM_CHAR, static_cast<WPARAM>(typed), 1, keys, out);
  Input(dialog, WM_KEYUP, static_cast<WPARAM>(key), static_cast<LPARAM>(0xC0000001u), keys, out);
}

// One scripted user action (lock held on entry and exit).
void RunStep(std::unique_lock<std::mutex>& held, Dialog& dialog, const ScriptStep& step) {
  using Kind = ScriptStep::Kind;
  const int index = ControlIndex(dialog, step.control);
  const bool shown = index >= 0 && dialog.controls[index].Visible();
  Notifications out;
  switch (step.kind) {
    case Kind::Check:
    case Kind::Uncheck: {
      const UINT wanted = step.kind == Kind::Check ? BST_CHECKED : BST_UNCHECKED;
      if (shown && dialog.controls[index].kind == ControlKind::CheckBox && dialog.controls[index].check != wanted)
        ClickMiddle(dialog, index, out);
      break;
    }
    case Kind::Press: ClickMiddle(dialog, index, out); break;
    case Kind::Select:
      if (shown) PickItem(dialog, index, step.index, out);
      break;
    case Kind::Type:
      if (shown) ReplaceText(dialog, index, step.text, out);
      break;
    case Kind::Key: PressKey(dialog, step.index, step.shift, out); break;
    case Kind::Click: Click(dialog, MAKELPARAM(step.index, step.y), out); break;
    case Kind::Close: {
      HWND hwnd = dialog.hwnd;
      held.unlock();
      SendMessageA(hwnd, WM_CLOSE, 0, 0);
      held.lock();
      break;
    }
  }
  Deliver(held, dialog, out);
}

}  // namespace

void RunSteps(std::unique_lock<std::mutex>& held, Dialog& dialog, const std::vector<ScriptStep>& steps) {
  for (const ScriptStep& step : steps) {
    if (dialog.ended) return;
    RunStep(held, dialog, step);
  }
}

void PressEnterThenClose(std::unique_lock<std::mutex>& held, Dialog& dialog) {
  if (!dialog.ended) {
    const int index = ControlIndex(dialog, dialog.defaultId);
    Deliver(held, dialog, {{MAKEWPARAM(dialog.defaultId, BN_CLICKED), reinterpret_cast<LPARAM>(ControlHandle(dialog, index))}});
  }
  if (!dialog.ended) RunStep(held, dialog, ScriptStep{});  // the close box
}

}  // namespace vemora::platform

// Modal dialogs from the program's dialog templates: a window of the dialog class with its
// controls, the dialog procedure behind it, and what drives it: the user through the window's
// input in a modal loop, or a script of user actions (tests and tools).
#include "Dialog.h"

#include <deque>

#include "DialogTemplate.h"
#include "DialogText.h"
#include "Host.h"
#include "Resources.h"

namespace vemora::platform {

namespace {

constexpr std::uintptr_t kControlBase = 0x00800000;
constexpr std::size_t kMaxControls = 256;
const char kDialogClass[] = "#32770";
constexpr int kScreenDpi = 96;
constexpr int kClassicBaseX = 6, kClassicBaseY = 13;  // the 8-point system font of the time

std::vector<Dialog*>& dialogs = *new std::vector<Dialog*>;  // this run's
std::vector<Dialog*>& retired = *new std::vector<Dialog*>;  // earlier runs', never freed: handles may linger
std::deque<std::vector<ScriptStep>>& answers = *new std::deque<std::vector<ScriptStep>>;
std::uint64_t nextSerial = 1;

LRESULT CALLBACK DialogWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// Windows' MulDiv: the product over the divisor, rounded half away from zero.
int MulDivRound(int value, int numerator, int denominator) {
  const long long product = static_cast<long long>(value) * numerator;
  const long long half = denominator / 2;
  return static_cast<int>(product >= 0 ? (product + half) / denominator : (product - half) / denominator);
}

Dialog* DialogBySerial(std::uint64_t serial) {
  for (Dialog* dialog : dialogs)
    if (dialog->serial == serial) return dialog;
  return nullptr;
}

Control* ControlOf(HWND hwnd, Dialog** owner) {
  auto value = reinterpret_cast<std::uintptr_t>(hwnd);
  if (value < kControlBase + 4 || (value - kControlBase) % 4 != 0) return nullptr;
  const std::uintptr_t slot = (value - kControlBase) / 4 - 1;
  Dialog* dialog = DialogBySerial(slot / kMaxControls);
  // Controls live as long as their dialog's window, EndDialog or not.
  if (dialog == nullptr || LookupWindow(dialog->hwnd) == nullptr || slot % kMaxControls >= dialog->controls.size())
    return nullptr;
  *owner = dialog;
  return &dialog->controls[slot % kMaxControls];
}

void Repaint(Dialog& dialog, bool force) {
  Window* window = LookupWindow(dialog.hwnd);
  if (window == nullptr || !window->visible || !(dialog.dirty || force)) return;
  PaintDialog(dialog, *window);
  dialog.dirty = false;
  MarkPixelsChanged(*window);
}

// What is kept of the dialog's window once it is gone.
void KeepWindowState(Dialog& dialog) {
  Window* window = LookupWindow(dialog.hwnd);
  if (window == nullptr) return;
  dialog.finalRect = window->rect;
  dialog.icon = window->windowClass->info.hIcon;
}

bool LoadTemplate(LPCSTR name, DialogTemplate& form) {
  ResourceData data;
  if (!IS_INTRESOURCE(name) ||
      !FindProgramResource(kDialogResource, static_cast<std::uint16_t>(reinterpret_cast<std::uintptr_t>(name)), data))
    return false;
  return ParseDialogTemplate(data.bytes, data.size, form) && form.items.size() <= kMaxControls;
}

RECT DialogUnitsToPixels(const Dialog& dialog, int x, int y, int cx, int cy) {
  const int left = MulDivRound(x, dialog.baseX, 4), top = MulDivRound(y, dialog.baseY, 8);
  return RECT{left, top, left + MulDivRound(cx, dialog.baseX, 4), top + MulDivRound(cy, dialog.baseY, 8)};
}

void AddControls(Dialog& dialog, const DialogTemplate& form) {
  bool defaultFound = false;
  for (const DialogItemTemplate& item : form.items) {
    Control control;
    control.id = item.id;
    control.className = item.className;
    control.kind = KindOf(item.className, item.style);
    control.style = item.style;
    control.text = item.text;
    control.rect = DialogUnitsToPixels(dialog, item.x, item.y, item.cx, item.cy);
    if (control.IsCombo()) {
      // The template's height includes the list; the closed box is as tall as its text needs.
      const int full = control.rect.bottom - control.rect.top;
      control.rect.bottom = control.rect.top + dialog.baseY + 8;
      control.listSpace = std::max(0, full - (dialog.baseY + 8));
    }
    if (!defaultFound && control.kind == ControlKind::PushButton && (item.style & BS_TYPEMASK) == BS_DEFPUSHBUTTON) {
      dialog.defaultId = item.id;
      defaultFound = true;
    }
    dialog.controls.push_back(std::move(control));
  }
}

// Lock held. The dialog's record and controls, and the window it lives in (created with the lock
// released); null when the window could not be made.
Dialog* CreateDialogRecord(std::unique_lock<std::mutex>& held, const DialogTemplate& form, LPCSTR name,
                           DLGPROC procedure, HINSTANCE instance) {
  SetHandleHook(SendToControl);  // the controls' handles are no window records
  auto* dialog = new Dialog;
  dialog->serial = nextSerial++;
  dialog->procedure = procedure;
  dialog->templateId = reinterpret_cast<std::uintptr_t>(name);
  dialog->title = form.title;
  dialog->fontPixels = MulDivRound(form.pointSize > 0 ? form.pointSize : 8, kScreenDpi, 72);
  dialog->face = &CurrentHost().DialogFace();
  if (!dialog->face->BaseUnits(dialog->fontPixels, dialog->baseX, dialog->baseY)) {
    dialog->baseX = kClassicBaseX;
    dialog->baseY = kClassicBaseY;
  }
  const RECT client = DialogUnitsToPixels(*dialog, form.x, form.y, form.cx, form.cy);
  dialog->clientWidth = client.right - client.left;
  dialog->clientHeight = client.bottom - client.top;
  if (dialog->clientWidth < 0 || dialog->clientHeight < 0 || dialog->clientWidth > kMaxWindowSide ||
      dialog->clientHeight > kMaxWindowSide) {
    retired.push_back(dialog);  // a damaged template: no window that size
    return nullptr;
  }
  AddControls(*dialog, form);
  const RECT nc = NonClient(form.style);
  held.unlock();
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = DialogWindowProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  windowClass.lpszClassName = kDialogClass;
  RegisterClassA(&windowClass);  // fails harmlessly once the class exists
  // The template places the client area; the frame goes around it.
  HWND hwnd = CreateWindowExA(form.exStyle, kDialogClass, form.title.c_str(), form.style & ~WS_VISIBLE,
                              client.left - nc.left, client.top - nc.top, dialog->clientWidth + nc.left + nc.right,
                              dialog->clientHeight + nc.top + nc.bottom, nullptr, nullptr, instance, nullptr);
  held.lock();
  if (hwnd == nullptr) {
    retired.push_back(dialog);
    return nullptr;
  }
  dialog->hwnd = hwnd;
  dialogs.push_back(dialog);
  return dialog;
}

int FirstTabStop(const Dialog& dialog) {
  for (std::size_t i = 0; i < dialog.controls.size(); ++i)
    if (dialog.controls[i].Focusable() && (dialog.controls[i].style & WS_TABSTOP)) return static_cast<int>(i);
  return -1;
}

// Lock held: the modal loop of a dialog on a screen, until it ends or the queue is told to quit.
void RunModalLoop(std::unique_lock<std::mutex>& held, Dialog& dialog) {
  dialog.inModalLoop = true;
  while (!dialog.ended) {
    Repaint(dialog, false);
    held.unlock();
    MSG message;
    const BOOL got = GetMessageA(&message, nullptr, 0, 0);
    if (got == 0) PostQuitMessage(static_cast<int>(message.wParam));  // left for the caller's loop
    held.lock();
    if (got <= 0) return;
    Notifications out;
    const KeyModifiers keys{KeyIsDown(VK_SHIFT), KeyIsDown(VK_MENU)};
    if (message.hwnd == dialog.hwnd && HandleDialogInput(dialog, message, keys, out)) {
      Deliver(held, dialog, out);
      continue;
    }
    held.unlock();
    TranslateMessage(&message);
    DispatchMessageA(&message);
    held.lock();
  }
}

// The dialog class's window procedure: the dialog procedure first, then the default handling.
LRESULT CALLBACK DialogWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  DLGPROC procedure = nullptr;
  {
    std::unique_lock<std::mutex> held(Global().lock);
    if (Dialog* dialog = DialogOfWindow(hwnd)) procedure = dialog->procedure;
  }
  if (procedure == nullptr) return DefWindowProcA(hwnd, message, wParam, lParam);
  if (INT_PTR handled = procedure(hwnd, message, wParam, lParam)) return handled;
  switch (message) {
    case WM_CLOSE:
      // The close box is the Cancel button for a procedure that leaves WM_CLOSE alone.
      SendMessageA(hwnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(hwnd, IDCANCEL)));
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      BeginPaint(hwnd, &paint);
      EndPaint(hwnd, &paint);
      std::unique_lock<std::mutex> held(Global().lock);
      if (Dialog* dialog = DialogOfWindow(hwnd)) Repaint(*dialog, true);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;
    case WM_ACTIVATE: {
      // A dialog that gets the focus with none of its controls focused hands it to the first tab stop.
      std::unique_lock<std::mutex> held(Global().lock);
      Dialog* dialog = DialogOfWindow(hwnd);
      if (dialog == nullptr || LOWORD(wParam) == WA_INACTIVE || dialog->focus >= 0 || dialog->ended) return 0;
      Notifications out;
      FocusControl(*dialog, FirstTabStop(*dialog), out);
      Deliver(held, *dialog, out);
      return 0;
    }
    case DM_GETDEFID:
    case DM_SETDEFID: {
      std::unique_lock<std::mutex> held(Global().lock);
      Dialog* dialog = DialogOfWindow(hwnd);
      if (dialog == nullptr) return 0;
      if (message == DM_GETDEFID) return MAKELRESULT(dialog->defaultId, DC_HASDEFID);
      dialog->defaultId = static_cast<int>(wParam);
      dialog->dirty = true;
      return TRUE;
    }
    default:
      return DefWindowProcA(hwnd, message, wParam, lParam);
  }
}

}  // namespace

void Deliver(std::unique_lock<std::mutex>& held, const Dialog& dialog, const Notifications& notifications) {
  if (notifications.empty()) return;
  HWND hwnd = dialog.hwnd;
  held.unlock();
  // Through the dialog's window, as a control sends to its parent.
  for (const auto& [wParam, lParam] : notifications) SendMessageA(hwnd, WM_COMMAND, wParam, lParam);
  held.lock();
}

void QueueDialogAnswers(std::vector<ScriptStep> steps) { answers.push_back(std::move(steps)); }

const std::vector<Dialog*>& RunDialogs() { return dialogs; }

void ResetDialogs() {
  for (Dialog* dialog : dialogs) dialog->ended = true;  // old handles answer nothing more
  retired.insert(retired.end(), dialogs.begin(), dialogs.end());
  dialogs.clear();
  answers.clear();
}

Dialog* DialogOfWindow(HWND hwnd) {
  if (LookupWindow(hwnd) == nullptr) return nullptr;
  for (Dialog* dialog : dialogs)
    if (dialog->hwnd == hwnd) return dialog;
  return nullptr;
}

HWND ControlHandle(const Dialog& dialog, int index) {
  if (index < 0) return nullptr;
  return reinterpret_cast<HWND>(kControlBase + (dialog.serial * kMaxControls + index + 1) * 4);
}

int ControlIndex(const Dialog& dialog, int id) {
  for (std::size_t i = 0; i < dialog.controls.size(); ++i)
    if (dialog.controls[i].id == id) return static_cast<int>(i);
  return -1;
}

bool SendToControl(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  Dialog* dialog = nullptr;
  Control* control = ControlOf(hwnd, &dialog);
  if (control == nullptr) return false;
  if (message == CB_GETDROPPEDSTATE)
    result = control->IsCombo() && dialog->drop.control >= 0 && &dialog->controls[dialog->drop.control] == control;
  else
    result = ControlMessage(*control, message, wParam, lParam);
  dialog->dirty = true;
  return true;
}

}  // namespace vemora::platform

using namespace vemora::platform;

INT_PTR WINAPI DialogBoxParamA(HINSTANCE instance, LPCSTR templateName, HWND, DLGPROC procedure, LPARAM initParam) {
  std::unique_lock<std::mutex> held(Global().lock);
  Self(held);
  DialogTemplate form;
  if (procedure == nullptr || !LoadTemplate(templateName, form)) return -1;
  Dialog* dialog = CreateDialogRecord(held, form, templateName, procedure, instance);
  if (dialog == nullptr) return -1;
  std::vector<ScriptStep> steps;
  if (!answers.empty()) {
    steps = std::move(answers.front());
    answers.pop_front();
  }
  HWND hwnd = dialog->hwnd;
  const int first = FirstTabStop(*dialog);
  HWND firstHandle = ControlHandle(*dialog, first);
  held.unlock();
  const LRESULT wantsFocus = SendMessageA(hwnd, WM_INITDIALOG, reinterpret_cast<WPARAM>(firstHandle), initParam);
  held.lock();
  if (wantsFocus != 0 && first >= 0 && !dialog->ended) {
    Notifications out;
    FocusControl(*dialog, first, out);
    Deliver(held, *dialog, out);
  }
  if (!dialog->ended && (form.style & WS_VISIBLE)) {
    held.unlock();
    ShowWindow(hwnd, SW_SHOWNORMAL);
    UpdateWindow(hwnd);
    held.lock();
  }
  RunSteps(held, *dialog, steps);
  if (CurrentHost().ScriptsDialogs())
    PressEnterThenClose(held, *dialog);
  else
    RunModalLoop(held, *dialog);
  Repaint(*dialog, false);
  KeepWindowState(*dialog);
  const bool ended = dialog->ended;
  dialog->ended = true;
  held.unlock();
  DestroyWindow(hwnd);
  return ended ? dialog->result : -1;
}

BOOL WINAPI EndDialog(HWND hwnd, INT_PTR result) {
  std::unique_lock<std::mutex> held(Global().lock);
  Dialog* dialog = DialogOfWindow(hwnd);
  if (dialog == nullptr || dialog->ended) return FALSE;
  dialog->ended = true;
  dialog->result = result;
  const bool wake = dialog->inModalLoop;
  held.unlock();
  ShowWindow(hwnd, SW_HIDE);
  // Called from a sent message, the modal loop would wait on: a message wakes it, as on Windows.
  if (wake) PostMessageA(hwnd, WM_NULL, 0, 0);
  return TRUE;
}

HWND WINAPI GetDlgItem(HWND hwnd, int control) {
  std::unique_lock<std::mutex> held(Global().lock);
  Dialog* dialog = DialogOfWindow(hwnd);
  return dialog == nullptr ? nullptr : ControlHandle(*dialog, ControlIndex(*dialog, control));
}

LRESULT WINAPI SendDlgItemMessageA(HWND hwnd, int control, UINT message, WPARAM wParam, LPARAM lParam) {
  HWND item = GetDlgItem(hwnd, control);
  return item == nullptr ? 0 : SendMessageA(item, message, wParam, lParam);
}

UINT WINAPI GetDlgItemTextA(HWND hwnd, int control, LPSTR text, int maxCount) {
  if (maxCount <= 0) return 0;
  HWND item = GetDlgItem(hwnd, control);
  if (item == nullptr) {
    if (text != nullptr) text[0] = '\0';
    return 0;
  }
  return static_cast<UINT>(SendMessageA(item, WM_GETTEXT, static_cast<WPARAM>(maxCount), reinterpret_cast<LPARAM>(text)));
}

BOOL WINAPI SetDlgItemTextA(HWND hwnd, int control, LPCSTR text) {
  HWND item = GetDlgItem(hwnd, control);
  return item != nullptr && SendMessageA(item, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)) == TRUE;
}

BOOL WINAPI CheckDlgButton(HWND hwnd, int control, UINT check) {
  HWND item = GetDlgItem(hwnd, control);
  if (item == nullptr) return FALSE;
  SendMessageA(item, BM_SETCHECK, check, 0);
  return TRUE;
}

UINT WINAPI IsDlgButtonChecked(HWND hwnd, int control) {
  HWND item = GetDlgItem(hwnd, control);
  return item == nullptr ? BST_UNCHECKED : static_cast<UINT>(SendMessageA(item, BM_GETCHECK, 0, 0));
}

#include "Dialog.h"

#include <deque>

namespace vemora::platform {

namespace {

constexpr std::uintptr_t kDialogBase = 0x00080000;

struct Dialog {
  testing::DialogRecord record;
  DLGPROC procedure;
  int defaultButton = IDOK;  // what Enter presses
};

std::vector<Dialog*>& dialogs = *new std::vector<Dialog*>;  // a stale handle stays invalid
std::vector<Dialog*>& retired = *new std::vector<Dialog*>;  // dialogs of an earlier run, never freed
std::deque<std::vector<testing::DialogStep>> answers;

Dialog* LookupDialog(HWND hwnd) {
  auto value = reinterpret_cast<std::uintptr_t>(hwnd);
  if (value < kDialogBase + 4 || (value - kDialogBase) % 4 != 0) return nullptr;
  std::size_t index = (value - kDialogBase) / 4 - 1;
  return index < dialogs.size() ? dialogs[index] : nullptr;
}

}  // namespace

void QueueDialogAnswers(std::vector<testing::DialogStep> steps) { answers.push_back(std::move(steps)); }

std::vector<testing::DialogRecord> DialogRecords() {
  std::vector<testing::DialogRecord> records;
  for (const Dialog* dialog : dialogs) records.push_back(dialog->record);
  return records;
}

void ResetDialogs() {
  for (Dialog* dialog : dialogs) dialog->record.ended = true;  // old handles answer nothing more
  retired.insert(retired.end(), dialogs.begin(), dialogs.end());
  dialogs.clear();
  answers.clear();
}

bool SendToDialog(std::unique_lock<std::mutex>& held, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                  LRESULT& result) {
  Dialog* dialog = LookupDialog(hwnd);
  if (dialog == nullptr) return false;
  if (message == DM_SETDEFID) {
    dialog->defaultButton = static_cast<int>(wParam);
    result = TRUE;
  } else if (message == DM_GETDEFID) {
    result = MAKELRESULT(dialog->defaultButton, DC_HASDEFID);
  } else {
    DLGPROC procedure = dialog->procedure;
    held.unlock();
    result = procedure(hwnd, message, wParam, lParam);
    held.lock();
  }
  return true;
}

}  // namespace vemora::platform

using namespace vemora::platform;
namespace testing = vemora::testing;

INT_PTR WINAPI DialogBoxParamA(HINSTANCE, LPCSTR templateName, HWND owner, DLGPROC procedure, LPARAM initParam) {
  std::unique_lock<std::mutex> held(Global().lock);
  Self(held);
  if (procedure == nullptr) return -1;
  auto* dialog = new Dialog{};
  dialog->procedure = procedure;
  dialog->record.templateId = reinterpret_cast<std::uintptr_t>(templateName);
  dialog->record.result = -1;
  dialogs.push_back(dialog);
  HWND hwnd = reinterpret_cast<HWND>(kDialogBase + dialogs.size() * 4);
  std::vector<testing::DialogStep> steps;
  if (!answers.empty()) {
    steps = std::move(answers.front());
    answers.pop_front();
  }
  auto send = [&](UINT message, WPARAM wParam, LPARAM lParam) {
    held.unlock();
    INT_PTR handled = procedure(hwnd, message, wParam, lParam);
    held.lock();
    return handled;
  };
  auto close = [&] {
    // A dialog procedure that leaves WM_CLOSE alone gets the Cancel command, as from Escape.
    if (!send(WM_CLOSE, 0, 0) && !dialog->record.ended) send(WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  };
  send(WM_INITDIALOG, 0, initParam);
  for (const testing::DialogStep& step : steps) {
    if (dialog->record.ended) break;
    switch (step.kind) {
      case testing::DialogStep::Kind::Check:
      case testing::DialogStep::Kind::Uncheck:
        dialog->record.buttons[step.control] =
            step.kind == testing::DialogStep::Kind::Check ? BST_CHECKED : BST_UNCHECKED;
        send(WM_COMMAND, MAKEWPARAM(step.control, BN_CLICKED), 0);
        break;
      case testing::DialogStep::Kind::Press:
        send(WM_COMMAND, MAKEWPARAM(step.control, BN_CLICKED), 0);
        break;
      case testing::DialogStep::Kind::Close:
        close();
        break;
    }
  }
  // Unanswered: Enter (the default button), then closing the box.
  if (!dialog->record.ended) send(WM_COMMAND, MAKEWPARAM(dialog->defaultButton, BN_CLICKED), 0);
  if (!dialog->record.ended) close();
  if (!dialog->record.ended) {
    dialog->record.ended = true;
    return -1;
  }
  (void)owner;
  return dialog->record.result;
}

BOOL WINAPI EndDialog(HWND hwnd, INT_PTR result) {
  std::unique_lock<std::mutex> held(Global().lock);
  Dialog* dialog = LookupDialog(hwnd);
  if (dialog == nullptr || dialog->record.ended) return FALSE;
  dialog->record.ended = true;
  dialog->record.result = result;
  return TRUE;
}

BOOL WINAPI CheckDlgButton(HWND hwnd, int control, UINT check) {
  std::unique_lock<std::mutex> held(Global().lock);
  Dialog* dialog = LookupDialog(hwnd);
  if (dialog == nullptr || dialog->record.ended) return FALSE;
  dialog->record.buttons[control] = check;
  return TRUE;
}

UINT WINAPI IsDlgButtonChecked(HWND hwnd, int control) {
  std::unique_lock<std::mutex> held(Global().lock);
  Dialog* dialog = LookupDialog(hwnd);
  if (dialog == nullptr) return BST_UNCHECKED;
  auto it = dialog->record.buttons.find(control);
  return it == dialog->record.buttons.end() ? BST_UNCHECKED : it->second;
}

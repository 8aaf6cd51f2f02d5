// Modal dialogs, answered by a script (tests) or by pressing Enter (until dialogs are drawn).
#pragma once

#include <vector>

#include "Core.h"
#include "testing.h"

namespace vemora::platform {

void QueueDialogAnswers(std::vector<testing::DialogStep> steps);  // lock held
std::vector<testing::DialogRecord> DialogRecords();               // lock held
void ResetDialogs();                                              // lock held
// Messages sent to a dialog handle (lock held on entry and exit); false if `hwnd` is no dialog.
bool SendToDialog(std::unique_lock<std::mutex>& held, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                  LRESULT& result);

}  // namespace vemora::platform

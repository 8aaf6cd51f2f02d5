// Modal dialogs, answered by a script (tests) or by pressing Enter (until dialogs are drawn).
#pragma once

#include <vector>

#include "Core.h"
#include "testing.h"

namespace vemora::platform {

void QueueDialogAnswers(std::vector<testing::DialogStep> steps);  // lock held
std::vector<testing::DialogRecord> DialogRecords();               // lock held
void ResetDialogs();                                              // lock held

}  // namespace vemora::platform

// Modal dialogs answered by script.
#include "Fixture.h"

namespace {

constexpr int kGo = 108, kQuit = 109, kBox = 110;
bool setDefault = false;
std::vector<UINT> commands;
UINT boxAtGo = 99;

INT_PTR CALLBACK Settings(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      EXPECT_EQ(lParam, 77);
      CheckDlgButton(dialog, 104, BST_CHECKED);
      if (setDefault) SendMessageA(dialog, DM_SETDEFID, kQuit, 0);
      return TRUE;
    case WM_COMMAND:
      if (HIWORD(wParam) == BN_CLICKED) commands.push_back(LOWORD(wParam));
      if (LOWORD(wParam) == kGo) {
        boxAtGo = IsDlgButtonChecked(dialog, kBox);
        EndDialog(dialog, 0);
      } else if (LOWORD(wParam) == kQuit) {
        EndDialog(dialog, -1);
      }
      return TRUE;
    case WM_CLOSE:
      EndDialog(dialog, 5);
      return TRUE;
    default:
      return FALSE;
  }
}

INT_PTR Open() { return DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(1), nullptr, Settings, 77); }

class DialogTest : public HeadlessTest {
 protected:
  void SetUp() override {
    HeadlessTest::SetUp();
    setDefault = false;
    commands.clear();
    boxAtGo = 99;
  }
};

TEST_F(DialogTest, ScriptedStepsRunAfterInitUntilEndDialog) {
  vt::AnswerNextDialog({vt::DialogStep::CheckBox(kBox), vt::DialogStep::Press(kGo), vt::DialogStep::Press(kQuit)});
  EXPECT_EQ(Open(), 0);
  EXPECT_EQ(boxAtGo, static_cast<UINT>(BST_CHECKED));
  EXPECT_EQ(commands, (std::vector<UINT>{kBox, kGo})) << "steps after EndDialog do not run";
  std::vector<vt::DialogRecord> dialogs = vt::Dialogs();
  ASSERT_EQ(dialogs.size(), 1u);
  EXPECT_EQ(dialogs[0].templateId, 1u);
  EXPECT_TRUE(dialogs[0].ended);
  EXPECT_EQ(dialogs[0].result, 0);
  EXPECT_EQ(dialogs[0].buttons,
            (std::map<int, UINT>{{104, BST_CHECKED}, {105, BST_UNCHECKED}, {kBox, BST_CHECKED}, {111, BST_UNCHECKED}}))
      << "every check box of the template";
}

TEST_F(DialogTest, AnswersGoToSuccessiveDialogsInOrder) {
  vt::AnswerNextDialog({vt::DialogStep::Press(kQuit)});
  vt::AnswerNextDialog({vt::DialogStep::CheckBox(kBox), vt::DialogStep::UncheckBox(kBox), vt::DialogStep::Press(kGo)});
  EXPECT_EQ(Open(), -1);
  EXPECT_EQ(Open(), 0);
  EXPECT_EQ(boxAtGo, static_cast<UINT>(BST_UNCHECKED));
}

TEST_F(DialogTest, UnansweredDialogPressesEnterThenCloses) {
  EXPECT_EQ(Open(), 0) << "Enter presses the template's default push button";
  EXPECT_EQ(commands, (std::vector<UINT>{kGo}));
  setDefault = true;
  commands.clear();
  EXPECT_EQ(Open(), -1) << "Enter presses the button chosen with DM_SETDEFID";
  EXPECT_EQ(commands, (std::vector<UINT>{kQuit}));
}

HWND lastDialog = nullptr;

INT_PTR CALLBACK Deaf(HWND dialog, UINT message, WPARAM, LPARAM) {
  lastDialog = dialog;
  return message == WM_INITDIALOG;
}

TEST_F(DialogTest, ADialogThatNeverEndsReturnsMinusOne) {
  vt::AnswerNextDialog({vt::DialogStep::CloseBox()});
  EXPECT_EQ(DialogBoxParamA(nullptr, MAKEINTRESOURCEA(1), nullptr, Deaf, 0), -1);
  EXPECT_EQ(vt::Dialogs()[0].result, -1);
  EXPECT_FALSE(EndDialog(lastDialog, 3)) << "the dialog is over";
  EXPECT_EQ(vt::Dialogs()[0].result, -1);
}

}  // namespace

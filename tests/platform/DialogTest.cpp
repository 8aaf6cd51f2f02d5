// Modal dialogs answered by script.
#include "DialogInk.h"
#include "Fixture.h"

#include <functional>
#include <ostream>

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

class DialogTest : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
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

TEST_F(DialogTest, EveryLabelAndCaptionIsDrawnAndGoDiffersFromQuit) {
  EXPECT_EQ(DialogBoxParamA(nullptr, MAKEINTRESOURCEA(1), nullptr, dialogink::KeepPixelsAtGo, 0), 0);
  dialogink::ExpectEveryTextDrawn(dialogink::AtGo(), vt::Dialogs().back());
}

TEST_F(DialogTest, ATemplateBeyondAnyScreenFailsTheDialog) {
  for (int name : {2, 3, 4}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(DialogBoxParamA(nullptr, MAKEINTRESOURCEA(name), nullptr, Settings, 77), -1);
  }
  EXPECT_TRUE(vt::Dialogs().empty()) << "no dialog window was made";
  EXPECT_FALSE(vt::MainWindow().exists);
  EXPECT_EQ(Open(), 0) << "the program's own template still opens";
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

// --- Controls of the Settings template: Win32 results, notifications, keyboard and mouse.

namespace controls {

constexpr int kDevices = 102, kRates = 103, kHidden = 104, kGo = 108, kQuit = 109, kLoop = 111;

struct Command {
  int id;
  int code;
  bool operator==(const Command& other) const { return id == other.id && code == other.code; }
};
std::ostream& operator<<(std::ostream& out, const Command& c) { return out << c.id << ":" << c.code; }

std::vector<Command> sent;
std::vector<std::string> deviceItems, rateItems;
std::function<void(HWND)> atInit;

INT_PTR CALLBACK Recorder(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  if (message == WM_INITDIALOG) {
    for (const std::string& item : deviceItems) SendDlgItemMessageA(dialog, kDevices, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
    for (const std::string& item : rateItems) SendDlgItemMessageA(dialog, kRates, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
    if (atInit) atInit(dialog);
  } else if (message == WM_COMMAND) {
    sent.push_back({LOWORD(wParam), HIWORD(wParam)});
    if (LOWORD(wParam) == kGo) EndDialog(dialog, 0);
    if (LOWORD(wParam) == kQuit) EndDialog(dialog, 1);
  }
  return 0;
}

class DialogControls : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    sent.clear();
    deviceItems = {"alpha", "beta", "bravo", "charlie"};
    rateItems.clear();
    for (int rate = 11000; rate <= 22000; rate += 1000) rateItems.push_back(std::to_string(rate));
    atInit = nullptr;
  }
  // Runs the steps, then Enter (GO) if the dialog is still open; the record of the dialog.
  vt::DialogRecord Run(std::vector<vt::DialogStep> steps) {
    sent.clear();
    vt::AnswerNextDialog(steps);
    DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(1), nullptr, Recorder, 0);
    return vt::Dialogs().back();
  }
  // What the steps sent, without the closing Enter.
  std::vector<Command> Sent() const {
    std::vector<Command> before = sent;
    if (!before.empty() && before.back() == Command{kGo, BN_CLICKED}) before.pop_back();
    return before;
  }
};

TEST_F(DialogControls, AnswerWithWin32Results) {
  std::vector<LRESULT> results;
  char text[8] = "xxxxxxx";
  deviceItems.clear();
  atInit = [&](HWND dialog) {
    auto send = [&](int id, UINT message, WPARAM wParam, LPARAM lParam) {
      results.push_back(SendDlgItemMessageA(dialog, id, message, wParam, lParam));
    };
    send(kDevices, CB_GETCURSEL, 0, 0);                                    // empty list: -1
    send(kDevices, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("one"));     // its index
    send(kDevices, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("two"));
    send(kDevices, CB_ADDSTRING, 0, 0);                                    // no string: CB_ERR
    send(kDevices, CB_SETCURSEL, 1, 0);
    send(kDevices, CB_SETCURSEL, 7, 0);                                    // outside: CB_ERR, cleared
    send(kDevices, CB_GETCURSEL, 0, 0);
    send(kDevices, CB_SETCURSEL, 0, 0);
    send(kDevices, CB_GETLBTEXTLEN, 1, 0);
    send(kDevices, CB_GETLBTEXTLEN, 2, 0);
    send(kDevices, CB_SETDROPPEDWIDTH, 50, 0);                             // never narrower than the box
    send(kDevices, CB_SETDROPPEDWIDTH, 250, 0);
    results.push_back(SetDlgItemTextA(dialog, kRates, "44100Hz"));
    results.push_back(GetDlgItemTextA(dialog, kRates, text, 4));
    results.push_back(GetDlgItemTextA(dialog, kDevices, text + 4, 4));     // a list shows its selection
    results.push_back(CheckDlgButton(dialog, kGo, BST_CHECKED));
    results.push_back(IsDlgButtonChecked(dialog, kGo));                    // push buttons have no check
    results.push_back(CheckDlgButton(dialog, 999, BST_CHECKED));
    results.push_back(SendDlgItemMessageA(dialog, 999, CB_GETCOUNT, 0, 0));
  };
  const vt::DialogRecord record = Run({});
  EXPECT_EQ(results, (std::vector<LRESULT>{CB_ERR, 0, 1, CB_ERR, 1, CB_ERR, CB_ERR, 0, 3, CB_ERR, 114, 250, TRUE, 3, 3,
                                           TRUE, BST_UNCHECKED, FALSE, 0}));
  EXPECT_STREQ(text, "441");
  EXPECT_STREQ(text + 4, "one");
  EXPECT_EQ(record.Control(kDevices)->items, (std::vector<std::string>{"one", "two"}));
  EXPECT_EQ(record.Control(kRates)->text, "44100Hz");
}

TEST_F(DialogControls, SelectAndTypeSendTheNotificationsWindowsSends) {
  const vt::DialogRecord record = Run({vt::DialogStep::Select(kRates, 3), vt::DialogStep::Type(kRates, "8000"),
                                       vt::DialogStep::Select(kDevices, 2), vt::DialogStep::Select(kDevices, 4),
                                       vt::DialogStep::Type(kDevices, "x"), vt::DialogStep::Press(kHidden)});
  EXPECT_EQ(Sent(), (std::vector<Command>{{kDevices, CBN_SETFOCUS},  // the first tab stop, as the dialog shows
                                          {kDevices, CBN_KILLFOCUS},
                                          {kRates, CBN_SETFOCUS},
                                          {kRates, CBN_DROPDOWN},
                                          {kRates, CBN_SELENDOK},
                                          {kRates, CBN_CLOSEUP},
                                          {kRates, CBN_SELCHANGE},
                                          {kRates, CBN_EDITUPDATE},
                                          {kRates, CBN_EDITCHANGE},
                                          {kRates, CBN_KILLFOCUS},
                                          {kDevices, CBN_SETFOCUS},
                                          {kDevices, CBN_DROPDOWN},
                                          {kDevices, CBN_SELENDOK},
                                          {kDevices, CBN_CLOSEUP},
                                          {kDevices, CBN_SELCHANGE}}))
      << "no item 4, no edit field in a drop-down list, no click on a hidden box";
  EXPECT_EQ(record.Control(kRates)->text, "8000");
  EXPECT_EQ(record.Control(kRates)->selection, -1) << "typing leaves no item chosen";
  EXPECT_EQ(record.Control(kDevices)->selection, 2);
  EXPECT_EQ(record.Control(kDevices)->text, "bravo");
  EXPECT_EQ(record.buttons.at(kHidden), static_cast<UINT>(BST_UNCHECKED));
}

TEST_F(DialogControls, KeysOpenMoveAndCloseTheLists) {
  const vt::DialogRecord record = Run({
      // The device list has had the focus since the dialog showed.
      vt::DialogStep::Key('B'), vt::DialogStep::Key('B'), vt::DialogStep::Key('B'),  // beta, bravo, beta
      vt::DialogStep::Key(VK_F4), vt::DialogStep::Key(VK_DOWN), vt::DialogStep::Key(VK_ESCAPE),  // cancelled
      vt::DialogStep::Key(VK_F4), vt::DialogStep::Key(VK_END), vt::DialogStep::Key(VK_RETURN),   // charlie
      vt::DialogStep::Key(VK_TAB, true),                             // back round to the loop box
      vt::DialogStep::Key(VK_SPACE)});
  EXPECT_EQ(record.Control(kDevices)->selection, 3);
  EXPECT_EQ(record.buttons.at(kLoop), static_cast<UINT>(BST_CHECKED));
  EXPECT_TRUE(record.Control(kLoop)->focused);
  EXPECT_EQ(Sent(), (std::vector<Command>{{kDevices, CBN_SETFOCUS},
                                          {kDevices, CBN_SELCHANGE},
                                          {kDevices, CBN_SELCHANGE},
                                          {kDevices, CBN_SELCHANGE},
                                          {kDevices, CBN_DROPDOWN},
                                          {kDevices, CBN_SELENDCANCEL},
                                          {kDevices, CBN_CLOSEUP},
                                          {kDevices, CBN_DROPDOWN},
                                          {kDevices, CBN_SELENDOK},
                                          {kDevices, CBN_CLOSEUP},
                                          {kDevices, CBN_SELCHANGE},
                                          {kDevices, CBN_KILLFOCUS},
                                          {kLoop, BN_CLICKED}}));
}

TEST_F(DialogControls, TheMouseScrollsTheOpenListAndPicksFromIt) {
  // The rate box at (9, 75)-(123, 96): its list of five 13-pixel rows below it, the scroll bar's
  // arrows at x 106..121, the up arrow from y 97, the down arrow up to y 162.
  const vt::DialogRecord record = Run({vt::DialogStep::Click(115, 85),   // the drop-down button
                                       vt::DialogStep::Click(114, 155),  // down arrow: one row
                                       vt::DialogStep::Click(114, 155),
                                       vt::DialogStep::Click(40, 103)});  // the first row shown
  EXPECT_EQ(record.Control(kRates)->selection, 2);
  EXPECT_EQ(record.Control(kRates)->text, "13000");
  const vt::DialogRecord paged = Run({vt::DialogStep::Click(115, 85), vt::DialogStep::Click(114, 140),  // track below the box
                                      vt::DialogStep::Click(40, 103)});
  EXPECT_EQ(paged.Control(kRates)->text, "16000") << "a click on the track moves a page of five rows";
  const vt::DialogRecord outside = Run({vt::DialogStep::Click(115, 85), vt::DialogStep::Click(250, 20)});
  EXPECT_EQ(outside.Control(kRates)->text, "") << "a click elsewhere closes the list and picks nothing";
}

}  // namespace controls

// The machine commands' tests, driven as a user would against the demo
// portal: their fixture and what more than one of their files reads.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "tests/e2e/driver.h"
#include "tests/e2e/driver_list.h"

namespace e2e {

inline constexpr int kColumns = 13;

// The icon of a message box, told from the box's pixels: its icon control
// compared with the system icons drawn on the same background.
enum class Icon { None, Information, Exclamation, Unknown };
Icon BoxIcon(HWND box);

struct Box {
  std::wstring text, title;
  Icon icon = Icon::Unknown;
};

class MachineCommandsTest : public LoggedInTest {
 protected:
  std::vector<Row> Rows() const { return ReadListView(list, kColumns); }
  // A command whose handler returns at once: it has run when this returns.
  void Run(int command) const {
    DWORD_PTR r;
    SendMessageTimeoutW(main, WM_COMMAND, command, 0, SMTO_ABORTIFHUNG, 20000, &r);
  }
  // Waits for the program's message box, reads it and presses OK.
  Box CloseBox() const {
    Box b;
    HWND box = program->WaitMessageBox();
    EXPECT_TRUE(box) << program->DescribeWindows();
    if (!box) return b;
    b.text = MessageBoxText(box);
    b.title = Text(box);
    b.icon = BoxIcon(box);
    PressDialogButton(box, IDOK);
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(box) || !IsWindowVisible(box); }));
    return b;
  }
};

void ExpectBox(const Box& b, const std::wstring& text, const std::wstring& title, Icon icon);

struct Clip {
  std::string ansi;   // CF_TEXT up to its NUL
  std::wstring wide;  // CF_UNICODETEXT
  bool excluded = false, historyOff = false, cloudOff = false;
};
Clip ReadClipboard();

}  // namespace e2e

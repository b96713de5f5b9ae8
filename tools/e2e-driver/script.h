// The end-to-end scenario scripts: one step per line, words separated by blanks, "quoted" texts
// with the escapes \r \n \t \" \\, and # to the end of a line as a comment. The driver runs the
// steps in order; every step that waits gives up after the current time limit.
//
//   timeout <seconds>                    time limit of the later waiting steps (default 20)
//   env <name> <value>                   environment of the programs started afterwards
//   start <exe>                          starts the program under test
//   run <exe> <exit code>                starts another copy and waits for it to end with the code
//   wait-exit <exit code>                the program under test ends with this exit code
//   wait-window <title>                  a window of the program with this title is shown; a dialog
//                                        becomes the one the control steps act on
//   wait-gone <title>                    no window of the program with this title is shown
//   expect-foreground <title>            the foreground window has this title
//   expect-text <control> <text>         the control's text is exactly text
//   expect-text-has <control> <text>     the control's text contains text
//   expect-visible | expect-hidden <control>
//   expect-enabled | expect-disabled <control>
//   click <control>                      clicks a button (once it is shown and enabled)
//   expect-entries <text>...             the device list holds exactly these entries, in order
//   expect-selected <text>               the selected entry of the device list
//   select <text>                        selects that entry of the device list as a user does
//   open-file <path>                     fills the open-file dialog with path and confirms it
//   box <caption> <text> <ok|yes|no>     a message box with this caption and text is shown;
//                                        presses the button
//   expect-box <caption> <text>         such a message box is shown (it stays open)
//   no-box <caption> <milliseconds>      no dialog or message box with this caption (other than
//                                        the main dialog) shows in that time
//   dialog-expect <caption> <control> <enabled|disabled>
//   dialog-press <caption> <control>     presses a button of that dialog (once it is enabled)
//   bench <command>...                   a command to the virtual camera bench (plug 0, ...)
//   bench-expect <camera> <text>         the bench's line of that camera contains text
//   shot <name>                          a screenshot, <name>.bmp in the screenshot folder
//   sleep <milliseconds>
//
// Controls are named (path, browse, progress, status, read-version, update, updating,
// no-device, connected, exit, list, mode-switch, reset, version, publisher, ok) or given by ID.
#pragma once

#include <string>
#include <vector>

namespace veltra::e2e {

enum class Op {
  kTimeout,
  kEnv,
  kStart,
  kRun,
  kWaitExit,
  kWaitWindow,
  kWaitGone,
  kExpectForeground,
  kExpectText,
  kExpectTextHas,
  kExpectVisible,
  kExpectHidden,
  kExpectEnabled,
  kExpectDisabled,
  kClick,
  kExpectEntries,
  kExpectSelected,
  kSelect,
  kOpenFile,
  kBox,
  kExpectBox,
  kNoBox,
  kDialogExpect,
  kDialogPress,
  kBench,
  kBenchExpect,
  kShot,
  kSleep,
};

struct Step {
  int line = 0;
  Op op = Op::kSleep;
  std::string source;              // the line as written, for messages
  std::vector<std::wstring> args;  // texts, escapes resolved
  int control = 0;                 // the control a step names (resolved ID)
  long number = 0;                 // the step's number (seconds, milliseconds, exit code, camera)
};

// Splits a line into words; quoted words may hold blanks and escapes. False on an unterminated
// quote or an unknown escape, with the reason in *error.
bool SplitWords(const std::string& line, std::vector<std::string>* words, std::string* error);

// A control by name or decimal ID; -1 when neither.
int ControlId(const std::string& word);

// Parses a whole script. On failure *error names the line and what is wrong, and steps is empty.
bool ParseScript(const std::string& source, std::vector<Step>* steps, std::string* error);

// The message box buttons by their word: IDOK, IDYES, IDNO; 0 for an unknown word.
int ButtonId(const std::wstring& word);

}  // namespace veltra::e2e

// Runs the steps of a scenario script against the program under test, from outside its process:
// it starts the program, finds its windows, reads and clicks their controls, answers its message
// boxes and file dialog, and commands the demo's virtual camera bench.
#pragma once

// clang-format off
#include <windows.h>
// clang-format on

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "script.h"

namespace veltra::e2e {

class Runner {
 public:
  // folder: where relative program and file names are found; shots: where screenshots go.
  Runner(std::wstring folder, std::wstring shots);
  ~Runner();
  Runner(const Runner&) = delete;
  Runner& operator=(const Runner&) = delete;

  // Runs every step, printing each; stops at the first that fails and prints why.
  bool Run(const std::vector<Step>& steps);
  // After a passing run: ends the program under test if the script left it running. After a
  // failing run the program is left as it is, so that a screenshot shows what went wrong.
  void Finish(bool passed);

 private:
  bool Do(const Step& step);
  // Calls check until it answers true or the time limit passes.
  bool WaitUntil(const std::function<bool()>& check);
  bool Fail(const std::string& why);

  std::wstring Resolve(const std::wstring& name) const;
  bool Launch(const std::wstring& exe, PROCESS_INFORMATION* process);
  HWND Target();
  HWND Control(int id);
  HWND FileDialog() const;
  HWND MessageBoxWith(const std::wstring& caption, const std::wstring& text);
  HWND DialogWith(const std::wstring& caption, int control) const;
  HWND Bench() const;
  // Fails the step when the demo's bench window covers the main dialog.
  bool BenchBesideDialog();
  std::string ShownBoxes();

  bool StartStep(const Step& step);
  bool RunStep(const Step& step);
  bool WaitExitStep(const Step& step);
  bool WindowStep(const Step& step);
  bool ControlStep(const Step& step);
  bool ListStep(const Step& step);
  bool OpenFileStep(const Step& step);
  bool BoxStep(const Step& step);
  bool DialogStep(const Step& step);
  bool BenchStep(const Step& step);
  bool ShotStep(const Step& step);

  std::wstring folder_;
  std::wstring shots_;
  DWORD timeoutMs_ = 20000;
  std::vector<std::pair<std::wstring, std::wstring>> environment_;
  HANDLE process_ = nullptr;
  DWORD processId_ = 0;
  HWND target_ = nullptr;
  std::string failure_;  // why the current step failed
  std::string seen_;     // what a wait saw last, for its failure message
  ULONGLONG started_ = 0;
};

}  // namespace veltra::e2e

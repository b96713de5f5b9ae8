// Looking at another program's windows from outside, as a person at the screen would: its shown
// windows, their titles, the texts and states of their controls, the entries of its lists, and a
// picture of the screen. Texts are read with messages that time out, because the program's
// dialog thread may be busy inside a handler for a while; a read that times out is retried by the
// caller's wait.
#pragma once

// clang-format off
#include <windows.h>
// clang-format on

#include <string>
#include <vector>

namespace veltra::e2e {

// The dialog class of Windows: dialogs, message boxes and the common file dialog.
constexpr wchar_t kDialogClass[] = L"#32770";

std::wstring ClassOf(HWND window);
// The caption as the window keeps it (no message is sent).
std::wstring TitleOf(HWND window);
// WM_GETTEXT; false when the window did not answer in time.
bool ReadText(HWND window, std::wstring* text);

// Shown top-level windows of the process (every process when processId is 0), in Z order.
std::vector<HWND> ShownWindows(DWORD processId);
// The first shown top-level window with this title (and class, when given).
HWND FindShown(DWORD processId, const std::wstring& title, const wchar_t* className);

// Direct and nested child windows.
std::vector<HWND> ChildrenOf(HWND parent);
// A child static text whose text is exactly text.
HWND FindStaticText(HWND dialog, const std::wstring& text);

// The entries of a combo box and its selection (-1: none); false when it did not answer.
bool ComboEntries(HWND combo, std::vector<std::wstring>* entries, int* selected);
// The lines of a list box; false when it did not answer.
bool ListLines(HWND list, std::vector<std::wstring>* lines);

// The whole screen as a 24-bit BMP file.
bool SaveScreenshot(const std::wstring& path, std::string* error);

// Quoted for messages, with \r and \n shown as escapes.
std::string Quote(const std::wstring& text);
// A wide text as plain ASCII for messages ('?' for anything else).
std::string Narrow(const std::wstring& text);
// Texts quoted and listed as [a, b, ...].
std::string Join(const std::vector<std::wstring>& texts);

}  // namespace veltra::e2e

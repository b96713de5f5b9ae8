#include "ui_access.h"

#include <cstdio>
#include <cstring>

namespace veltra::e2e {

namespace {

constexpr UINT kAnswerMs = 1000;  // how long one read waits for the other thread to answer
constexpr int kMaxTextChars = 8192;
constexpr int kClassChars = 64;

// The callbacks' LPARAM carries a pointer to the caller's collection.
template <typename T>
T* FromParam(LPARAM param) {
  return reinterpret_cast<T*>(param);  // NOLINT(performance-no-int-to-ptr)
}

// A message to another process' window that gives up when its thread does not answer in time.
bool Ask(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  DWORD_PTR answer = 0;
  if (SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, kAnswerMs, &answer) ==
      0) {
    return false;
  }
  *result = static_cast<LRESULT>(answer);
  return true;
}

struct ShownSearch {
  DWORD processId;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectShown(HWND window, LPARAM param) {
  auto* search = FromParam<ShownSearch>(param);
  if (IsWindowVisible(window) == FALSE) {
    return TRUE;
  }
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (search->processId == 0 || owner == search->processId) {
    search->found.push_back(window);
  }
  return TRUE;
}

BOOL CALLBACK CollectChild(HWND window, LPARAM param) {
  FromParam<std::vector<HWND>>(param)->push_back(window);
  return TRUE;
}

// Reads one entry of a list or combo box by its length and text messages.
bool ReadEntry(HWND box, UINT lengthMessage, UINT textMessage, int index, std::wstring* text) {
  LRESULT length = 0;
  if (!Ask(box, lengthMessage, static_cast<WPARAM>(index), 0, &length) || length < 0 ||
      length > kMaxTextChars) {
    return false;
  }
  std::wstring buffer(static_cast<std::size_t>(length) + 1, L'\0');
  LRESULT copied = 0;
  if (!Ask(box, textMessage, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&buffer[0]),
           &copied) ||
      copied < 0) {
    return false;
  }
  buffer.resize(static_cast<std::size_t>(copied) <= static_cast<std::size_t>(length)
                    ? static_cast<std::size_t>(copied)
                    : static_cast<std::size_t>(length));
  *text = buffer;
  return true;
}

void PutLe(std::vector<unsigned char>& out, std::size_t at, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) {
    out[at + static_cast<std::size_t>(i)] = static_cast<unsigned char>(value >> (8 * i));
  }
}

}  // namespace

std::wstring ClassOf(HWND window) {
  wchar_t name[kClassChars] = {};
  GetClassNameW(window, name, kClassChars);
  return name;
}

std::wstring TitleOf(HWND window) {
  wchar_t title[512] = {};
  GetWindowTextW(window, title, 512);
  return title;
}

bool ReadText(HWND window, std::wstring* text) {
  LRESULT length = 0;
  if (!Ask(window, WM_GETTEXTLENGTH, 0, 0, &length) || length < 0 || length > kMaxTextChars) {
    return false;
  }
  std::wstring buffer(static_cast<std::size_t>(length) + 1, L'\0');
  LRESULT copied = 0;
  if (!Ask(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(&buffer[0]), &copied) ||
      copied < 0) {
    return false;
  }
  buffer.resize(static_cast<std::size_t>(copied) < buffer.size() ? static_cast<std::size_t>(copied)
                                                                 : buffer.size() - 1);
  *text = buffer;
  return true;
}

std::vector<HWND> ShownWindows(DWORD processId) {
  ShownSearch search{processId, {}};
  EnumWindows(&CollectShown, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND FindShown(DWORD processId, const std::wstring& title, const wchar_t* className) {
  for (HWND window : ShownWindows(processId)) {
    if (TitleOf(window) == title && (className == nullptr || ClassOf(window) == className)) {
      return window;
    }
  }
  return nullptr;
}

std::vector<HWND> ChildrenOf(HWND parent) {
  std::vector<HWND> children;
  EnumChildWindows(parent, &CollectChild, reinterpret_cast<LPARAM>(&children));
  return children;
}

HWND FindStaticText(HWND dialog, const std::wstring& text) {
  for (HWND child : ChildrenOf(dialog)) {
    std::wstring shown;
    if (ClassOf(child) == L"Static" && ReadText(child, &shown) && shown == text) {
      return child;
    }
  }
  return nullptr;
}

bool ComboEntries(HWND combo, std::vector<std::wstring>* entries, int* selected) {
  LRESULT count = 0;
  LRESULT current = 0;
  if (!Ask(combo, CB_GETCOUNT, 0, 0, &count) || count < 0 ||
      !Ask(combo, CB_GETCURSEL, 0, 0, &current)) {
    return false;
  }
  entries->clear();
  for (int i = 0; i < static_cast<int>(count); ++i) {
    std::wstring text;
    if (!ReadEntry(combo, CB_GETLBTEXTLEN, CB_GETLBTEXT, i, &text)) {
      return false;
    }
    entries->push_back(text);
  }
  *selected = static_cast<int>(current);
  return true;
}

bool ListLines(HWND list, std::vector<std::wstring>* lines) {
  LRESULT count = 0;
  if (!Ask(list, LB_GETCOUNT, 0, 0, &count) || count < 0) {
    return false;
  }
  lines->clear();
  for (int i = 0; i < static_cast<int>(count); ++i) {
    std::wstring text;
    if (!ReadEntry(list, LB_GETTEXTLEN, LB_GETTEXT, i, &text)) {
      return false;
    }
    lines->push_back(text);
  }
  return true;
}

bool SaveScreenshot(const std::wstring& path, std::string* error) {
  const int width = GetSystemMetrics(SM_CXSCREEN);
  const int height = GetSystemMetrics(SM_CYSCREEN);
  if (width <= 0 || height <= 0) {
    *error = "no screen";
    return false;
  }
  const HDC screen = GetDC(nullptr);
  const HDC memory = CreateCompatibleDC(screen);
  const HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
  const HGDIOBJ previous = SelectObject(memory, bitmap);
  const BOOL copied = BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY);
  SelectObject(memory, previous);

  const std::size_t rowBytes =
      (static_cast<std::size_t>(width) * 3 + 3) & ~static_cast<std::size_t>(3);
  const std::size_t pixelBytes = rowBytes * static_cast<std::size_t>(height);
  constexpr std::size_t kHeaderBytes = 14 + 40;
  std::vector<unsigned char> file(kHeaderBytes + pixelBytes, 0);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;  // bottom-up rows, as a BMP file keeps them
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  const int rows = copied != FALSE ? GetDIBits(memory, bitmap, 0, static_cast<UINT>(height),
                                               file.data() + kHeaderBytes, &info, DIB_RGB_COLORS)
                                   : 0;
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  if (rows != height) {
    *error = "the screen could not be read";
    return false;
  }
  file[0] = 'B';
  file[1] = 'M';
  PutLe(file, 2, static_cast<std::uint32_t>(file.size()), 4);
  PutLe(file, 10, kHeaderBytes, 4);
  PutLe(file, 14, 40, 4);
  PutLe(file, 18, static_cast<std::uint32_t>(width), 4);
  PutLe(file, 22, static_cast<std::uint32_t>(height), 4);
  PutLe(file, 26, 1, 2);
  PutLe(file, 28, 24, 2);
  PutLe(file, 34, static_cast<std::uint32_t>(pixelBytes), 4);

  FILE* out = _wfopen(path.c_str(), L"wb");
  if (out == nullptr) {
    *error = "cannot write the screenshot";
    return false;
  }
  const bool written = std::fwrite(file.data(), 1, file.size(), out) == file.size();
  const bool closed = std::fclose(out) == 0;
  if (!written || !closed) {
    *error = "cannot write the screenshot";
    return false;
  }
  return true;
}

std::string Quote(const std::wstring& text) {
  std::string out = "\"";
  for (wchar_t c : text) {
    if (c == L'\r') {
      out += "\\r";
    } else if (c == L'\n') {
      out += "\\n";
    } else if (c == L'"') {
      out += "\\\"";
    } else {
      out.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    }
  }
  return out + "\"";
}

std::string Narrow(const std::wstring& text) {
  std::string out;
  for (wchar_t c : text) {
    out.push_back(c < 0x80 ? static_cast<char>(c) : '?');
  }
  return out;
}

std::string Join(const std::vector<std::wstring>& texts) {
  std::string out = "[";
  for (std::size_t i = 0; i < texts.size(); ++i) {
    out += (i == 0 ? "" : ", ") + Quote(texts[i]);
  }
  return out + "]";
}

}  // namespace veltra::e2e

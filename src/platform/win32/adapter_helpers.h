// Helpers of the Windows adapters that need no OS header, so that the native tests can run them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace veltra {

// The longest C stdio mode the file port accepts; the program itself opens its files "rb".
constexpr std::size_t kMaxFileModeChars = 8;

// _wfopen takes a wide mode while the port takes the C stdio one. Modes are short ASCII texts;
// anything longer than kMaxFileModeChars or not ASCII is refused (false, empty output) rather
// than opened with a mode nobody asked for.
inline bool WidenMode(const char* mode, wchar_t* out, std::size_t capacity) {
  if (out == nullptr || capacity == 0) {
    return false;
  }
  out[0] = L'\0';
  if (mode == nullptr) {
    return false;
  }
  std::size_t i = 0;
  for (; mode[i] != '\0'; ++i) {
    const auto c = static_cast<unsigned char>(mode[i]);
    if (i >= kMaxFileModeChars || i + 1 >= capacity || c >= 0x80) {
      out[0] = L'\0';
      return false;
    }
    out[i] = static_cast<wchar_t>(c);
  }
  out[i] = L'\0';
  return i > 0;
}

// GetModuleFileNameW reports a path that did not fit differently by Windows version: XP filled the
// buffer without a terminator and returned its size; later versions terminate and return the
// size too. The program needs Windows 7 or later, but the call's contract allows both, so this
// leaves the buffer cut to fit and terminated in both cases and returns the characters before the
// terminator (0 when the call failed).
inline std::uint32_t FinishModulePath(wchar_t* buffer, std::size_t chars, std::uint32_t reported) {
  if (buffer == nullptr || chars == 0) {
    return 0;
  }
  if (reported == 0) {
    buffer[0] = L'\0';
    return 0;
  }
  if (reported >= chars) {
    buffer[chars - 1] = L'\0';
    return static_cast<std::uint32_t>(chars - 1);
  }
  buffer[reported] = L'\0';
  return reported;
}

}  // namespace veltra

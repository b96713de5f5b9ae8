#include "core/text.h"

#include <cstdarg>
#include <cwchar>

namespace veltra {

namespace {
wchar_t AsciiUpper(wchar_t c) {
  return (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - 32) : c;
}
}  // namespace

void CopyText(wchar_t* dst, std::size_t capacity, const wchar_t* src) {
  if (dst == nullptr || capacity == 0) {
    return;
  }
  std::size_t i = 0;
  if (src != nullptr) {
    for (; i + 1 < capacity && src[i] != L'\0'; ++i) {
      dst[i] = src[i];
    }
  }
  dst[i] = L'\0';
}

int FormatText(wchar_t* dst, std::size_t capacity, const wchar_t* format, ...) {
  if (dst == nullptr || capacity == 0) {
    return 0;
  }
  va_list args;
  va_start(args, format);
  int written = std::vswprintf(dst, capacity, format, args);
  va_end(args);
  dst[capacity - 1] = L'\0';
  if (written < 0 || static_cast<std::size_t>(written) >= capacity) {
    written = static_cast<int>(std::wcslen(dst));
  }
  return written;
}

void UpperInPlace(wchar_t* text) {
  if (text == nullptr) {
    return;
  }
  for (; *text != L'\0'; ++text) {
    *text = AsciiUpper(*text);
  }
}

bool TextEquals(const wchar_t* a, const wchar_t* b) {
  if (a == nullptr || b == nullptr) {
    return a == b;
  }
  return std::wcscmp(a, b) == 0;
}

bool TextEqualsNoCase(const wchar_t* a, const wchar_t* b) {
  if (a == nullptr || b == nullptr) {
    return a == b;
  }
  for (; *a != L'\0' && *b != L'\0'; ++a, ++b) {
    if (AsciiUpper(*a) != AsciiUpper(*b)) {
      return false;
    }
  }
  return *a == *b;
}

const wchar_t* FindText(const wchar_t* haystack, const wchar_t* needle) {
  if (haystack == nullptr || needle == nullptr) {
    return nullptr;
  }
  return std::wcsstr(haystack, needle);
}

bool ContainsText(const wchar_t* haystack, const wchar_t* needle) {
  return FindText(haystack, needle) != nullptr;
}

}  // namespace veltra

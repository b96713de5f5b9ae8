// Small text helpers of the discovery passes: cutting IDs out of paths and hardware IDs without
// reading past the text, and the constants the passes share.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cwchar>
#include <memory>
#include <new>

namespace veltra {

// Vendor and product ID texts hold four hex digits; their buffers in the passes are this long.
constexpr std::size_t kIdTextChars = 10;
// The thread's last-error code the device operations set when they catch an exception.
constexpr std::uint32_t kLastErrorDeviceException = 0x20000011;
// Upper bound for the index walks over the OS's lists, so that no adapter can keep a pass going.
constexpr std::uint32_t kMaxEnumerationIndex = 4096;

// A size the OS asks for that is larger than this (in wide characters) is refused as an
// allocation failure would be: no hardware ID, location path or interface path comes near it.
constexpr std::uint32_t kMaxQueriedChars = 32768;

// A zeroed buffer one character longer than asked for, so that whatever the OS wrote is
// terminated; empty when the size is out of reason or the heap refuses.
inline std::unique_ptr<wchar_t[]> AllocateChars(std::uint32_t chars) {
  if (chars > kMaxQueriedChars) {
    return nullptr;
  }
  return std::unique_ptr<wchar_t[]>(new (std::nothrow) wchar_t[chars + 1]());
}

// The character `skip` places past the start of the first `marker` in `text`, or nullptr when the
// marker is missing or the text ends before that place.
inline const wchar_t* PastMarker(const wchar_t* text, const wchar_t* marker, std::size_t skip) {
  if (text == nullptr || marker == nullptr) {
    return nullptr;
  }
  const wchar_t* at = std::wcsstr(text, marker);
  if (at == nullptr) {
    return nullptr;
  }
  for (std::size_t i = 0; i < skip; ++i) {
    if (at[i] == L'\0') {
      return nullptr;
    }
  }
  return at + skip;
}

// Copies at most `count` characters of src (fewer when it ends first) into out, terminated and
// cut to outChars.
inline void CopyChars(wchar_t* out, std::size_t outChars, const wchar_t* src, std::size_t count) {
  if (out == nullptr || outChars == 0) {
    return;
  }
  std::size_t i = 0;
  if (src != nullptr) {
    for (; i < count && i + 1 < outChars && src[i] != L'\0'; ++i) {
      out[i] = src[i];
    }
  }
  out[i] = L'\0';
}

// Lower-cases ASCII letters in place (the paths the capture pass records are lower case).
inline void LowerInPlace(wchar_t* text) {
  if (text == nullptr) {
    return;
  }
  for (; *text != L'\0'; ++text) {
    if (*text >= L'A' && *text <= L'Z') {
      *text = static_cast<wchar_t>(*text + 32);
    }
  }
}

}  // namespace veltra

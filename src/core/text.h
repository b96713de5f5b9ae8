// Bounded wide-text helpers for the program's fixed buffers. Every copy is cut to fit and ends
// with a 0 character; nothing reads past a terminator or a given length.
#pragma once

#include <cstddef>

namespace veltra {

// Copies src into dst (capacity in characters, terminator included), cut to fit.
void CopyText(wchar_t* dst, std::size_t capacity, const wchar_t* src);

template <std::size_t N>
void CopyText(wchar_t (&dst)[N], const wchar_t* src) {
  CopyText(dst, N, src);
}

// Bounded wide formatting: always terminated, cut when too long. Returns the characters written.
int FormatText(wchar_t* dst, std::size_t capacity, const wchar_t* format, ...);

// Upper-cases ASCII letters in place (the IDs and paths the program compares are ASCII).
void UpperInPlace(wchar_t* text);

// Case-sensitive / case-insensitive comparisons and search.
bool TextEquals(const wchar_t* a, const wchar_t* b);
bool TextEqualsNoCase(const wchar_t* a, const wchar_t* b);
const wchar_t* FindText(const wchar_t* haystack, const wchar_t* needle);
bool ContainsText(const wchar_t* haystack, const wchar_t* needle);

}  // namespace veltra

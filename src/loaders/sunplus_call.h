// Calls into SunplusCamera.dll. The library's arguments are known, its calling convention is not:
// a build of it that removes its own arguments (stdcall) and one that leaves them to the caller
// (cdecl) export the same undecorated names. On 32-bit x86 a call made for the wrong one leaves
// the stack pointer off by the size of the arguments, and the caller's next use of its frame
// goes wrong. Every call into the library therefore goes through CallSunplus, which on 32-bit x86
// pushes the arguments itself and puts the stack pointer back from a saved copy afterwards, so
// either convention returns to a sound frame. Elsewhere (x86_64 has one convention) it is a plain
// call.
#pragma once

#include <cstdint>
#include <cstring>
#include <type_traits>

namespace veltra {

// The most argument words one call takes (Download_FW_Verbose has eleven).
constexpr std::uint32_t kSunplusMaxArgs = 16;

#if defined(__i386__)
// Pushes count words of args (args[0] ends up nearest the return address, as both conventions
// want), calls entry, and restores ESP from a callee-saved register, whatever the callee did with
// its arguments. EBX, ESI, EDI and EBP, which both conventions preserve, are preserved too.
// Returns EAX. count is at most kSunplusMaxArgs (CallSunplus checks that at compile time).
extern "C" std::uint32_t SunplusStackSafeCall(
    const void* entry, const std::uint32_t* args,
    std::uint32_t count) __asm__("veltra_sunplus_stack_safe_call");
#endif

namespace sunplus_call_detail {

template <typename T>
std::uint32_t Word(T value) {
  static_assert(
      sizeof(T) <= sizeof(std::uint32_t) && (std::is_integral_v<T> || std::is_pointer_v<T>),
      "an argument of the library is a 32-bit integer or pointer");
  if constexpr (std::is_pointer_v<T>) {
    return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(value));
  } else {
    return static_cast<std::uint32_t>(value);
  }
}

}  // namespace sunplus_call_detail

// Calls the library's entry point with args, each converted to the entry's own parameter type
// first. R is a 32-bit integer.
template <typename R, typename... Params, typename... Args>
R CallSunplus(R (*entry)(Params...), Args... args) {
  static_assert(sizeof...(Params) == sizeof...(Args), "one argument per parameter");
  static_assert(sizeof...(Params) >= 1 && sizeof...(Params) <= kSunplusMaxArgs,
                "every entry point of the library takes between one and sixteen arguments");
#if defined(__i386__)
  static_assert(std::is_integral_v<R> && sizeof(R) == sizeof(std::uint32_t), "results come in EAX");
  const std::uint32_t words[] = {sunplus_call_detail::Word(static_cast<Params>(args))...};
  const void* address = nullptr;
  static_assert(sizeof(address) == sizeof(entry), "code and data pointers differ in size");
  std::memcpy(&address, &entry, sizeof(address));
  return static_cast<R>(SunplusStackSafeCall(address, words, sizeof...(Params)));
#else
  return entry(static_cast<Params>(args)...);
#endif
}

}  // namespace veltra

// The names of the bench's fault kinds, as veltra-bench's --fault, the demo's bench window and
// its scripted "bench fault" command spell them. One table, so that every face of the bench
// takes the same words; "errorstate" is the older spelling of the bench window and is still taken.
#pragma once

#include <string_view>

#include "sim/virtual_device.h"

namespace veltra::sim {

struct FaultKindName {
  const char* name;
  FaultKind kind;
};

// In the order they are offered; the first name of a kind is how it is written.
constexpr FaultKindName kFaultKindNames[] = {
    {"error", FaultKind::kTransferError},   {"short", FaultKind::kShortTransfer},
    {"stuck", FaultKind::kStuckState},      {"error-state", FaultKind::kErrorState},
    {"disconnect", FaultKind::kDisconnect}, {"timeout", FaultKind::kTimeout},
};
constexpr FaultKindName kFaultKindAliases[] = {{"errorstate", FaultKind::kErrorState}};

// "error, short, stuck, error-state, disconnect, timeout".
constexpr const char* kFaultKindList = "error, short, stuck, error-state, disconnect, timeout";

// False when the name is neither a fault kind nor an alias of one.
inline bool FaultKindByName(std::string_view name, FaultKind* kind) {
  for (const auto& entry : kFaultKindNames) {
    if (name == entry.name) {
      *kind = entry.kind;
      return true;
    }
  }
  for (const auto& entry : kFaultKindAliases) {
    if (name == entry.name) {
      *kind = entry.kind;
      return true;
    }
  }
  return false;
}

// The written name of a kind; nullptr for kNone.
inline const char* NameOfFaultKind(FaultKind kind) {
  for (const auto& entry : kFaultKindNames) {
    if (entry.kind == kind) {
      return entry.name;
    }
  }
  return nullptr;
}

}  // namespace veltra::sim

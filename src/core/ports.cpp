#include "platform/ports.h"

namespace veltra {

namespace {
// The one set of OS doors, installed at start-up (or by a test) before any thread starts.
Ports g_ports;
}  // namespace

Ports& ports() {
  return g_ports;
}

void InstallPorts(const Ports& set) {
  g_ports = set;
}

std::uint32_t DialogView::WaitThreadPumping(Handle thread, std::uint32_t timeoutMs) {
  return Sys().WaitThread(thread, timeoutMs);
}

}  // namespace veltra

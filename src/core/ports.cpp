#include "platform/ports.h"

namespace veltra {

namespace {
Ports g_ports;
}

Ports& ports() {
  return g_ports;
}

void InstallPorts(const Ports& set) {
  g_ports = set;
}

}  // namespace veltra

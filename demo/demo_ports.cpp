#include "demo/demo_ports.h"

#include "demo/scaled_time.h"

namespace veltra::demo {

void DemoSystem::Sleep(std::uint32_t ms) {
  clock_.Sleep(ms);
}

std::uint64_t DemoSystem::NowMs() {
  return clock_.NowMs();
}

std::uint32_t DemoSystem::WaitThread(Handle thread, std::uint32_t timeoutMs) {
  return Win32System::WaitThread(thread, RealMs(timeoutMs, clock_.speed()));
}

std::uint32_t DemoSystem::WaitForObject(Handle event, std::uint32_t timeoutMs) {
  return Win32System::WaitForObject(event, RealMs(timeoutMs, clock_.speed()));
}

void DemoDialogView::SetTimer(int id, std::uint32_t periodMs) {
  Win32DialogView::SetTimer(id, RealMs(periodMs, speed_));
}

}  // namespace veltra::demo

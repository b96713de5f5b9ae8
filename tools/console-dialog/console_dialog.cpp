#include "console-dialog/console_dialog.h"

namespace veltra::bench {

void BenchDialogHost::TakeDeviceChanges(std::deque<DeviceChange>* into) {
  if (discovery_ == nullptr) {
    return;
  }
  for (DeviceChange& change : discovery_->TakeEvents()) {
    into->push_back(std::move(change));
  }
}

void BenchDialogHost::WaitUntil(std::uint64_t dueMs) {
  const std::uint64_t now = clock_.NowMs();
  if (dueMs > now) {
    clock_.Advance(dueMs - now);
  }
}

}  // namespace veltra::bench

#include "core/app_state.h"

#include <cstring>

#include "core/update_session.h"

namespace veltra {

std::atomic<int> g_nSelectedIndex{0};
std::atomic<int> g_nLastSelectedIndex{0};
wchar_t g_szSelectedDevicePath[kPathChars] = {};

Handle g_hUIEvent = kNullHandle;
Handle g_hUIThread = kNullHandle;
Flag g_bUIThreadRun{0};
Flag g_bReadVersionBusy{0};
Flag g_bResetBusy{0};

void ResetAppState() {
  g_nSelectedIndex = 0;
  g_nLastSelectedIndex = 0;
  std::memset(g_szSelectedDevicePath, 0, sizeof g_szSelectedDevicePath);
  g_hUIEvent = g_hUIThread = kNullHandle;
  g_bUIThreadRun = 0;
  g_bReadVersionBusy = 0;
  g_bResetBusy = 0;
  CurrentUpdate().Reset();
}

}  // namespace veltra

#include "devices/selected_record.h"

#include "core/text.h"
#include "devices/device_rules.h"

namespace veltra {

DeviceRecord* SelectedRecord() {
  const int index = g_nSelectedIndex.load();
  const int count = g_nDeviceCount.load();
  if (index < 0 || index >= count || index >= kMaxDevices) {
    return nullptr;
  }
  return &g_DeviceTable[index];
}

bool RecordVendorIs(DeviceRecord* record, DeviceVendor vendor) {
  if (record == nullptr) {
    return false;
  }
  UpperInPlace(record->vidText);
  return DeviceRules().VendorOf(record->vidText) == vendor;
}

const DeviceRule& RecordProductRule(DeviceRecord* record) {
  if (record == nullptr) {
    return DeviceRules().LookupProduct(L"");
  }
  UpperInPlace(record->pidText);
  return DeviceRules().LookupProduct(record->pidText);
}

bool RecordTakesNxpImage(DeviceRecord* record) {
  if (record == nullptr) {
    return false;
  }
  UpperInPlace(record->vidText);
  UpperInPlace(record->pidText);
  return DeviceRules().Lookup(record->vidText, record->pidText).route == UpdateRoute::kNxpLoader;
}

const wchar_t* PathOf(const DeviceRecord* record) {
  return record == nullptr ? L"" : record->devicePath;
}

}  // namespace veltra

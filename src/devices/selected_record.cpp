#include "devices/selected_record.h"

#include "core/text.h"
#include "devices/device_rules.h"

namespace veltra {

DeviceRecord* SelectedRecord() {
  const int index = Controller().List().nSelectedIndex;
  const int count = Controller().List().nDeviceCount;
  if (index < 0 || index >= count || index >= kMaxDevices) {
    return nullptr;
  }
  return &Controller().List().DeviceTable[index];
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

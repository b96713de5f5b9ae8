#include "camera/selected_device.h"

#include "core/text.h"

namespace veltra::camera {

namespace {
const wchar_t kEmptyText[] = L"";
}  // namespace

DeviceRecord* RecordAt(int index) {
  const int count = Controller().List().nDeviceCount;
  if (index < 0 || index >= count || index >= kMaxDevices) {
    return nullptr;
  }
  return &Controller().List().DeviceTable[index];
}

DeviceRecord* SlotAt(int index) {
  if (index < 0 || index >= kMaxDevices) {
    return nullptr;
  }
  return &Controller().List().DeviceTable[index];
}

const wchar_t* DevicePathAt(int index) {
  const DeviceRecord* record = RecordAt(index);
  return record == nullptr ? kEmptyText : record->devicePath;
}

const DeviceRule& ProductRuleAt(int index) {
  DeviceRecord* record = SlotAt(index);
  if (record == nullptr) {
    return DeviceRules().LookupProduct(kEmptyText);
  }
  UpperInPlace(record->pidText);
  return DeviceRules().LookupProduct(record->pidText);
}

const DeviceRule& RuleAt(int index) {
  DeviceRecord* record = SlotAt(index);
  if (record == nullptr) {
    return DeviceRules().Lookup(kEmptyText, kEmptyText);
  }
  UpperInPlace(record->vidText);
  UpperInPlace(record->pidText);
  return DeviceRules().Lookup(record->vidText, record->pidText);
}

SelectedCamera TakeSelectedCamera(int index) {
  SelectedCamera camera;
  camera.index = index;
  if (const DeviceRecord* record = RecordAt(index)) {
    camera.record = *record;
    UpperInPlace(camera.record.pidText);
    UpperInPlace(camera.record.vidText);
  }
  return camera;
}

}  // namespace veltra::camera

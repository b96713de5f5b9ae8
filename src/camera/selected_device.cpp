#include "camera/selected_device.h"

#include "core/text.h"

namespace veltra::camera {

namespace {
const wchar_t kEmptyText[] = L"";

void CopyUpper(const wchar_t* src, wchar_t (&out)[20]) {
  CopyText(out, src);
  UpperInPlace(out);
}
}  // namespace

DeviceRecord* RecordAt(int index) {
  const int count = g_nDeviceCount.load();
  if (index < 0 || index >= count || index >= kMaxDevices) {
    return nullptr;
  }
  return &g_DeviceTable[index];
}

DeviceRecord* SlotAt(int index) {
  if (index < 0 || index >= kMaxDevices) {
    return nullptr;
  }
  return &g_DeviceTable[index];
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

void CopyProductId(int index, wchar_t (&out)[20]) {
  const DeviceRecord* record = RecordAt(index);
  CopyUpper(record == nullptr ? kEmptyText : record->pidText, out);
}

void CopyVendorId(int index, wchar_t (&out)[20]) {
  const DeviceRecord* record = RecordAt(index);
  CopyUpper(record == nullptr ? kEmptyText : record->vidText, out);
}

}  // namespace veltra::camera

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
  const int count = Controller().List().nDeviceCount.load();
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

bool ProductIdIs(int index, const wchar_t* pid) {
  DeviceRecord* record = SlotAt(index);
  if (record == nullptr) {
    return pid[0] == L'\0';
  }
  UpperInPlace(record->pidText);
  return TextEquals(record->pidText, pid);
}

bool VendorIdIs(int index, const wchar_t* vid) {
  DeviceRecord* record = SlotAt(index);
  if (record == nullptr) {
    return vid[0] == L'\0';
  }
  UpperInPlace(record->vidText);
  return TextEquals(record->vidText, vid);
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

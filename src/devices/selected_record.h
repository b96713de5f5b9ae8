// The device-table record behind the selected list entry, for the dialog's commands. The
// selected index comes from the list control and may be -1 (nothing selected) or lie outside the
// committed records; such an index has no record rather than one read from outside the table.
#pragma once

#include "devices/device_rules.h"
#include "devices/device_table.h"

namespace veltra {

// The record at the selection's nSelectedIndex, or nullptr.
DeviceRecord* SelectedRecord();

// Upper-cases the record's vendor-ID text in place (the program compares IDs that way and the
// table keeps the upper-cased text) and asks the device rules whether it is that vendor's. A
// missing record is no vendor's.
bool RecordVendorIs(DeviceRecord* record, DeviceVendor vendor);
// Upper-cases the record's product-ID text in place and gives the device rules' row for that
// product ID alone; a missing record has the rule of a device the program does not know.
const DeviceRule& RecordProductRule(DeviceRecord* record);

// Whether the record's camera takes its image through the NXP flash loader: the NXP camera, its
// RT1060 ROM or its flash loader. Browse offers raw *.bin images first for them.
bool RecordTakesNxpImage(DeviceRecord* record);

// The record's device path, or an empty text without a record.
const wchar_t* PathOf(const DeviceRecord* record);

}  // namespace veltra

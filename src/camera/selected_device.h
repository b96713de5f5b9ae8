// Reading the device table by index for the camera commands and the device-change handling.
// The selected index comes from the list control and may be -1 (nothing selected) or point past
// the table; such an index reads as an empty record instead of memory outside the table.
#pragma once

#include "core/update_controller.h"
#include "devices/device_rules.h"
#include "devices/device_table.h"

namespace veltra::camera {

// The record at index, or nullptr when the index is outside the committed records.
DeviceRecord* RecordAt(int index);

// The table slot at index as the last enumeration left it, whatever the current count (the
// device-change dispatch empties the count before it looks at the selected camera), or nullptr
// when the index is outside the table.
DeviceRecord* SlotAt(int index);

// The record's device path, or an empty text for an index outside the table.
const wchar_t* DevicePathAt(int index);

// Upper-cases the slot's product-ID text in place (the table keeps the upper-cased text, as
// every comparison of the program does) and gives the device rules' row for that product ID
// alone. An index outside the table reads as an empty product ID, which no row has.
const DeviceRule& ProductRuleAt(int index);
// Upper-cases the slot's vendor- and product-ID texts in place and gives the device rules' row
// for both.
const DeviceRule& RuleAt(int index);

// The camera at index as the refresher thread is handed it (dialog thread): its record copied,
// the product- and vendor-ID texts upper-cased in the copy. An empty record outside the listed
// records.
SelectedCamera TakeSelectedCamera(int index);

}  // namespace veltra::camera

// The device rules: every USB identity the program knows, in one table. A row gives, for a vendor
// and product ID, the camera family, the mode the device is in, the route an update of it takes
// and how the camera is found again after it re-enumerated. Discovery, the update dispatch, the
// device-change handling, the version read and the reset ask the table; none of them names an ID.
// Adding a camera model is adding its rows.
//
// The table the program reads is reached through DeviceRules() only. The built-in one serves the
// program; a test may install another (a made-up model added) and puts the built-in one back
// whole when it ends. Install only while no program thread runs.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace veltra {

// The chip or camera vendor behind a vendor ID.
enum class DeviceVendor { kOther, kMaker, kCypress, kNxp, kSunplus };
// The family a device belongs to. The family of a camera running its firmware is told by the
// camera library's answers; the table's family is what its IDs alone say.
enum class DeviceFamily { kUnknown, kPesca, kTarsa, kMirel, kNxpCamera, kSunplus, kBootLoader };
enum class DeviceMode { kNormal, kUpdate, kBootRom, kFlashLoader };
enum class UpdateRoute { kNone, kModeSwitch, kDfu, kFx3Loader, kNxpLoader, kSunplusLibrary };
// Which listed devices may be the camera being updated, found again after it re-enumerated: the
// maker's update modes, cameras running their firmware, or the chip vendors' boot ROMs.
enum class ListedAs { kUpdateMode, kNormalMode, kBootRom };

struct DeviceRule {
  std::uint16_t vid = 0;
  std::optional<std::uint16_t> pid;  // none: every product of the vendor without a row of its own
  DeviceFamily family = DeviceFamily::kUnknown;
  DeviceMode mode = DeviceMode::kNormal;
  UpdateRoute route = UpdateRoute::kNone;
  ListedAs foundAgainAs = ListedAs::kNormalMode;
};

struct VendorRule {
  std::uint16_t vid = 0;
  DeviceVendor vendor = DeviceVendor::kOther;
};

class DeviceRuleTable {
 public:
  DeviceRuleTable(std::vector<VendorRule> vendors, std::vector<DeviceRule> rows);

  // The row of vid:pid; else the vendor's row for every other product; else a device the program
  // does not know (a camera running its firmware, no route).
  const DeviceRule& Lookup(std::uint16_t vid, std::uint16_t pid) const;
  // The same for the texts a device record holds. An ID is four hexadecimal digits, in either
  // case; a text that is not one names no row.
  const DeviceRule& Lookup(const wchar_t* vidText, const wchar_t* pidText) const;
  // The row the product ID alone names, whatever the vendor: the version read, the reset and the
  // arrival handling have always gone by the product ID only.
  const DeviceRule& LookupProduct(const wchar_t* pidText) const;
  DeviceVendor VendorOf(const wchar_t* vidText) const;
  // Whether the pass over the present USB devices lists the device: a vendor with a device in an
  // update or boot mode, and a product ID of such a device. Vendor and product are tested
  // separately (any such vendor with any such product ID).
  bool InUsbDevicePass(const wchar_t* vidText, const wchar_t* pidText) const;

  // The built-in table of the program, and its rows (a test adds to them).
  static const DeviceRuleTable& BuiltIn();
  const std::vector<VendorRule>& Vendors() const { return vendors_; }
  const std::vector<DeviceRule>& Rows() const { return rows_; }

 private:
  std::vector<VendorRule> vendors_;
  std::vector<DeviceRule> rows_;
  DeviceRule unknown_;
};

// The table the program reads.
const DeviceRuleTable& DeviceRules();
// Installs a table (nullptr: the built-in one again). The table must outlive its use.
void InstallDeviceRules(const DeviceRuleTable* table);

// A camera in the Pesca family's own update mode: a combined image of type 1 or 2 goes into it in
// two passes, and its update ends with the Warning dialog.
inline bool IsPescaUpdateMode(const DeviceRule& rule) {
  return rule.family == DeviceFamily::kPesca && rule.mode == DeviceMode::kUpdate;
}

}  // namespace veltra

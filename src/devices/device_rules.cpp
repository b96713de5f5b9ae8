#include "devices/device_rules.h"

#include <algorithm>
#include <atomic>
#include <utility>

namespace veltra {

namespace {

// Vendors.
constexpr std::uint16_t kVidMaker = 0x7E51;
constexpr std::uint16_t kVidCypress = 0x04B4;
constexpr std::uint16_t kVidNxp = 0x1FC9;
constexpr std::uint16_t kVidSunplus = 0x1BCF;

using F = DeviceFamily;
using M = DeviceMode;
using R = UpdateRoute;
using L = ListedAs;

std::vector<DeviceRule> BuiltInRows() {
  return {
      // Any other camera of the maker switches into its update mode on the library's command.
      {kVidMaker, std::nullopt, F::kUnknown, M::kNormal, R::kModeSwitch, L::kNormalMode},
      {kVidMaker, 0xC123, F::kPesca, M::kNormal, R::kModeSwitch, L::kNormalMode},
      {kVidMaker, 0xC129, F::kPesca, M::kNormal, R::kModeSwitch, L::kNormalMode},
      {kVidMaker, 0xC05C, F::kTarsa, M::kNormal, R::kModeSwitch, L::kNormalMode},
      {kVidMaker, 0xC181, F::kMirel, M::kNormal, R::kSunplusLibrary, L::kNormalMode},
      // The maker's camera built on an NXP RT1060: its update goes through the chip's ROM and the
      // flash loader, which takes raw *.bin images.
      {kVidMaker, 0xC2A0, F::kNxpCamera, M::kNormal, R::kNxpLoader, L::kNormalMode},
      // The Sunplus-based camera: the camera library does not serve its vendor ID.
      {kVidSunplus, 0x0B12, F::kSunplus, M::kNormal, R::kSunplusLibrary, L::kNormalMode},
      // The maker's update modes: DF00 for every family but Pesca, DF01 for Pesca, DF02 the flash
      // loader of the NXP camera.
      {kVidMaker, 0xDF00, F::kUnknown, M::kUpdate, R::kDfu, L::kUpdateMode},
      {kVidMaker, 0xDF01, F::kPesca, M::kUpdate, R::kDfu, L::kUpdateMode},
      {kVidMaker, 0xDF02, F::kBootLoader, M::kFlashLoader, R::kNxpLoader, L::kUpdateMode},
      // The chip vendors' boot ROMs: the Cypress FX3 boot loader, the NXP i.MX RT1060 ROM.
      {kVidCypress, 0x00F3, F::kBootLoader, M::kBootRom, R::kFx3Loader, L::kBootRom},
      {kVidNxp, 0x0135, F::kBootLoader, M::kBootRom, R::kNxpLoader, L::kBootRom},
  };
}

std::vector<VendorRule> BuiltInVendors() {
  return {
      {kVidMaker, DeviceVendor::kMaker},
      {kVidCypress, DeviceVendor::kCypress},
      {kVidNxp, DeviceVendor::kNxp},
      {kVidSunplus, DeviceVendor::kSunplus},
  };
}

// Four hexadecimal digits, in either case, and nothing else.
std::optional<std::uint16_t> IdOfText(const wchar_t* text) {
  if (text == nullptr) {
    return std::nullopt;
  }
  std::uint16_t id = 0;
  for (int i = 0; i < 4; ++i) {
    const wchar_t c = text[i];
    int digit = 0;
    if (c >= L'0' && c <= L'9') {
      digit = c - L'0';
    } else if (c >= L'A' && c <= L'F') {
      digit = c - L'A' + 10;
    } else if (c >= L'a' && c <= L'f') {
      digit = c - L'a' + 10;
    } else {
      return std::nullopt;  // the terminator included: a shorter text
    }
    id = static_cast<std::uint16_t>((id << 4) | digit);
  }
  if (text[4] != L'\0') {
    return std::nullopt;
  }
  return id;
}

bool InUpdateOrBootMode(const DeviceRule& rule) {
  return rule.pid.has_value() && rule.mode != DeviceMode::kNormal;
}

std::atomic<const DeviceRuleTable*> g_installed{nullptr};

}  // namespace

DeviceRuleTable::DeviceRuleTable(std::vector<VendorRule> vendors, std::vector<DeviceRule> rows)
    : vendors_(std::move(vendors)), rows_(std::move(rows)) {}

const DeviceRule& DeviceRuleTable::Lookup(std::uint16_t vid, std::uint16_t pid) const {
  const DeviceRule* vendorWide = nullptr;
  for (const DeviceRule& rule : rows_) {
    if (rule.vid != vid) {
      continue;
    }
    if (rule.pid == pid) {
      return rule;
    }
    if (!rule.pid.has_value() && vendorWide == nullptr) {
      vendorWide = &rule;
    }
  }
  return vendorWide != nullptr ? *vendorWide : unknown_;
}

const DeviceRule& DeviceRuleTable::Lookup(const wchar_t* vidText, const wchar_t* pidText) const {
  const std::optional<std::uint16_t> vid = IdOfText(vidText);
  if (!vid.has_value()) {
    return unknown_;
  }
  const std::optional<std::uint16_t> pid = IdOfText(pidText);
  if (!pid.has_value()) {
    // No product ID: only what the vendor's every product is.
    for (const DeviceRule& rule : rows_) {
      if (rule.vid == *vid && !rule.pid.has_value()) {
        return rule;
      }
    }
    return unknown_;
  }
  return Lookup(*vid, *pid);
}

const DeviceRule& DeviceRuleTable::LookupProduct(const wchar_t* pidText) const {
  const std::optional<std::uint16_t> pid = IdOfText(pidText);
  if (pid.has_value()) {
    for (const DeviceRule& rule : rows_) {
      if (rule.pid == pid) {
        return rule;
      }
    }
  }
  return unknown_;
}

DeviceVendor DeviceRuleTable::VendorOf(const wchar_t* vidText) const {
  const std::optional<std::uint16_t> vid = IdOfText(vidText);
  for (const VendorRule& vendor : vendors_) {
    if (vid == vendor.vid) {
      return vendor.vendor;
    }
  }
  return DeviceVendor::kOther;
}

bool DeviceRuleTable::InUsbDevicePass(const wchar_t* vidText, const wchar_t* pidText) const {
  const std::optional<std::uint16_t> vid = IdOfText(vidText);
  const std::optional<std::uint16_t> pid = IdOfText(pidText);
  if (!vid.has_value() || !pid.has_value()) {
    return false;
  }
  const auto vendorListed = [&](const DeviceRule& rule) {
    return InUpdateOrBootMode(rule) && rule.vid == *vid;
  };
  const auto productListed = [&](const DeviceRule& rule) {
    return InUpdateOrBootMode(rule) && rule.pid == pid;
  };
  return std::any_of(rows_.begin(), rows_.end(), vendorListed) &&
         std::any_of(rows_.begin(), rows_.end(), productListed);
}

const DeviceRuleTable& DeviceRuleTable::BuiltIn() {
  static const DeviceRuleTable table(BuiltInVendors(), BuiltInRows());
  return table;
}

const DeviceRuleTable& DeviceRules() {
  const DeviceRuleTable* installed = g_installed.load();
  return installed != nullptr ? *installed : DeviceRuleTable::BuiltIn();
}

void InstallDeviceRules(const DeviceRuleTable* table) {
  g_installed.store(table);
}

}  // namespace veltra

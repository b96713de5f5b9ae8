#include "app/model_check.h"

#include "core/text.h"

namespace veltra {

namespace {

// A camera in its update mode carries "DFU" in its name and is not checked; the firmware of the
// "_MH" model is named after the "M" model.
constexpr const wchar_t* kUpdateModeMarker = L"DFU";
constexpr const wchar_t* kModelMh = L"Veltra_RX40_MH";
constexpr const wchar_t* kModelMhFirmware = L"Veltra_RX40M";

}  // namespace

bool ListedInUpdateMode(const wchar_t* friendlyName) {
  return ContainsText(friendlyName, kUpdateModeMarker);
}

bool FileNamedForCamera(const wchar_t* friendlyName, const wchar_t* fileTitle) {
  if (ListedInUpdateMode(friendlyName)) {
    return true;
  }
  const wchar_t* expected = ContainsText(friendlyName, kModelMh) ? kModelMhFirmware : friendlyName;
  return ContainsText(fileTitle, expected);
}

}  // namespace veltra

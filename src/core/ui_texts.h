// Texts of the main dialog that more than one part of the application shows, and the message-box
// captions. Texts used in one place only stay next to the code that shows them.
#pragma once

namespace veltra {

// Status line (1004) and update headline (1007).
constexpr const wchar_t* kTextErasing = L"Erasing Memory...Please Wait...";
constexpr const wchar_t* kTextVerifying = L"Verify Flash... Please Wait...";
constexpr const wchar_t* kTextUpdatingShort = L"Updating Firmware..";

// Message boxes.
constexpr const wchar_t* kTextDownloadFailed = L"Firmware Download Failed!";
// Two connected devices answer alike to the camera being updated (or to the Sunplus library).
constexpr const wchar_t* kTextMoreThanOneCamera =
    L"More than one camera of this kind is connected.\r\nPlease leave only the camera to update "
    L"connected and try again.";
constexpr const wchar_t* kTextDownloadSucceeded =
    L"Firmware Downloaded Successfully!\r\nDonot Reset the Device.\r\nDevice will boot "
    L"automatically after completing firmware update!";
constexpr const wchar_t* kTextThreadFailed = L"Could'nt Create Thread";
constexpr const wchar_t* kTextCheckFilePath = L"Check File Path!";
constexpr const wchar_t* kTextModeSwitchMissing =
    L"The camera did not enter its firmware update mode.\r\nPlease re-plug the camera and try "
    L"again.";
constexpr const wchar_t* kTextSecondPassMissing =
    L"The camera did not come back for the rest of the firmware.\r\nPlease re-plug the camera "
    L"and try again.";

// Captions.
constexpr const wchar_t* kCaptionError = L"Error";
constexpr const wchar_t* kCaptionAlert = L"Alert";
constexpr const wchar_t* kCaptionSuccess = L"Success";
constexpr const wchar_t* kCaptionProgram = L"Veltra_FW_Updater";

}  // namespace veltra

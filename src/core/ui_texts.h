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
// The NXP camera came back running its firmware after a write whose answers could not be read
// (the camera library held the flash loader's HID device): a command the flash loader refused
// would have gone unseen, and a camera that refused the write restarts into its old firmware.
constexpr const wchar_t* kTextWrittenUnconfirmed =
    L"The firmware was sent, but the camera could not confirm that it was written.\r\nPlease "
    L"read the camera's firmware version to check it, and update again if it is the old one.";
constexpr const wchar_t* kTextThreadFailed = L"Could'nt Create Thread";
constexpr const wchar_t* kTextCheckFilePath = L"Check File Path!";
constexpr const wchar_t* kTextModeSwitchMissing =
    L"The camera did not enter its firmware update mode.\r\nPlease re-plug the camera and try "
    L"again.";
constexpr const wchar_t* kTextSecondPassMissing =
    L"The camera did not come back for the rest of the firmware.\r\nPlease re-plug the camera "
    L"and try again.";

// A loader file next to the program that cannot be used, found before the camera heard anything:
// the first %ls is the file's name, the second the reason (one of kReasonLoader*).
constexpr const wchar_t* kTextLoaderFileRefused =
    L"The file %ls next to the program cannot be used: %ls.\r\nNothing was sent to the camera; "
    L"it keeps its current firmware. Please put the right file next to the program and try again.";
constexpr const wchar_t* kReasonLoaderMissing = L"it is missing";
constexpr const wchar_t* kReasonLoaderUnreadable = L"it cannot be read";
constexpr const wchar_t* kReasonLoaderEmpty = L"it is empty";
// The two %u are the lengths the RT1060 ROM takes, the last one the file's.
constexpr const wchar_t* kReasonLoaderSize =
    L"it must be %u to %u bytes long, but it is %u bytes long";
constexpr const wchar_t* kReasonBootImageSignature =
    L"it does not start with a boot image's header (\"CY\" and two more bytes)";
constexpr const wchar_t* kReasonBootImageNoEnd =
    L"it ends before the section that names the program's entry point";
constexpr const wchar_t* kReasonBootImageSectionPastEnd =
    L"one of its sections runs past the end of the file";

// Captions.
constexpr const wchar_t* kCaptionError = L"Error";
constexpr const wchar_t* kCaptionAlert = L"Alert";
constexpr const wchar_t* kCaptionSuccess = L"Success";
constexpr const wchar_t* kCaptionWarning = L"Warning";
constexpr const wchar_t* kCaptionProgram = L"Veltra_FW_Updater";

}  // namespace veltra

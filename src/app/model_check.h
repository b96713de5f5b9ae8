// The model check: whether a firmware file is named for a camera. The dialog asks the user before
// it sends a file that is not; the console program refuses it unless told to go on. Both ask here.
#pragma once

namespace veltra {

// True when the listed name is a device in an update mode (it has no model to check).
bool ListedInUpdateMode(const wchar_t* friendlyName);

// True when the file title (the file's name, as the open-file dialog returns it) names the model
// of the camera listed as friendlyName, or the device has no model to check.
bool FileNamedForCamera(const wchar_t* friendlyName, const wchar_t* fileTitle);

}  // namespace veltra

#include "loaders/loader_checks.h"

#include "core/text.h"
#include "core/ui_texts.h"
#include "image/firmware_image.h"
#include "image/loader_files.h"
#include "loaders/fx3_download.h"

namespace veltra {

namespace {

constexpr std::size_t kReasonChars = 200;

// Why the file cannot be used, into reason; false when it can.
bool FindFault(LoaderFile file, const Payload& image, LoaderRead read,
               wchar_t (&reason)[kReasonChars]) {
  switch (read) {
    case LoaderRead::kMissing:
      CopyText(reason, kReasonChars, kReasonLoaderMissing);
      return true;
    case LoaderRead::kUnreadable:
      CopyText(reason, kReasonChars, kReasonLoaderUnreadable);
      return true;
    case LoaderRead::kEmpty:
      CopyText(reason, kReasonChars, kReasonLoaderEmpty);
      return true;
    case LoaderRead::kRead:
      break;
  }
  if (file == LoaderFile::kNxpFlashLoader) {
    if (NxpFlashLoaderLengthFits(image.length)) {
      return false;
    }
    FormatText(reason, kReasonChars, kReasonLoaderSize, kNxpFlashLoaderShortest,
               kNxpFlashLoaderLength, image.length);
    return true;
  }
  Fx3BootImage parsed;
  switch (ParseFx3BootImage(image.data, image.length, &parsed)) {
    case Fx3ImageError::kNone:
      return false;
    case Fx3ImageError::kBadSignature:
      CopyText(reason, kReasonChars, kReasonBootImageSignature);
      return true;
    case Fx3ImageError::kNoTerminator:
      CopyText(reason, kReasonChars, kReasonBootImageNoEnd);
      return true;
    case Fx3ImageError::kSectionPastEnd:
      CopyText(reason, kReasonChars, kReasonBootImageSectionPastEnd);
      return true;
  }
  return false;
}

}  // namespace

bool CheckLoaderFile(LoaderFile file, wchar_t (&message)[kLoaderRefusalChars]) {
  const wchar_t* name =
      file == LoaderFile::kNxpFlashLoader ? kNxpFlashLoaderName : kFx3BootImageName;
  Payload image;
  const LoaderRead read = ReadLoaderFile(name, image);
  wchar_t reason[kReasonChars] = {};
  const bool fault = FindFault(file, image, read, reason);
  ReleasePayload(image);
  if (!fault) {
    message[0] = L'\0';
    return true;
  }
  FormatText(message, kLoaderRefusalChars, kTextLoaderFileRefused, name, reason);
  return false;
}

}  // namespace veltra

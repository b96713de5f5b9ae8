#include "console/message_view.h"

#include "console/device_text.h"

namespace veltra::console {

int MessageView::MessageBox(const wchar_t* text, const wchar_t* caption, std::uint32_t style,
                            bool) {
  err_ << "veltra-update: " << Utf8(caption == nullptr ? L"" : caption) << ": "
       << Utf8(text == nullptr ? L"" : text) << '\n';
  return (style & 0xF) == kMbYesNo ? kIdNo : kIdOk;
}

}  // namespace veltra::console

// The dialog and the console program never run at once, nor two of either: both claim one named
// object of the user's session for as long as they run. See docs/decisions.md.
#pragma once

namespace veltra {

class SingleInstance {
 public:
  SingleInstance() = default;
  ~SingleInstance();
  SingleInstance(const SingleInstance&) = delete;
  SingleInstance& operator=(const SingleInstance&) = delete;

  // True when this process now holds the claim; false when another copy of the dialog or of the
  // console program holds it (or it could not be made).
  bool Claim();

 private:
  void* mutex_ = nullptr;
};

}  // namespace veltra

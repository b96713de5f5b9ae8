#include "cameras/camera_fixture.h"

namespace veltra::test {

CameraTest::CameraTest() {
  Ports set = ports();
  set.usb = &traffic_;
  set.camera = &library_;
  InstallPorts(set);
}

std::wstring CameraTest::PathOf(const sim::VirtualDevice& device) const {
  const std::wstring capture = bus_.CapturePath(&device);
  return capture.empty() ? bus_.UsbInterfacePath(&device) : capture;
}

std::vector<std::string> CameraTest::LogLines() const {
  std::vector<std::string> lines;
  std::istringstream in(log_.str());
  for (std::string line; std::getline(in, line);) {
    lines.push_back(line);
  }
  return lines;
}

}  // namespace veltra::test

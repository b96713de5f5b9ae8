// The console program's seam on the program (update_driver.h), on the window-less dialog: the
// devices are listed by the program's own discovery passes, and each camera is updated by the
// program's own dialog procedures as a person at the desk would use them (select the camera,
// Browse to the file, F/W UPDATE, OK). What the dialog would have shown is the camera's result.
// The same driver runs veltra-update.exe on Windows and veltra-update's bench builds; only the
// dialog's host (the clock, the threads, the device changes) differs.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "console/console_dialog.h"
#include "console/dialog_host.h"
#include "console/update_driver.h"

namespace veltra::console {

class DialogDriver : public UpdateDriver {
 public:
  // The ports are installed and shown, in front of the dialog, is the installed dialog port; all
  // outlive the driver. The dialog watches shown's status line from here on.
  DialogDriver(ConsoleDialog& dialog, ShownControls& shown, DialogHost& host)
      : dialog_(dialog), shown_(shown), host_(host) {
    dialog_.Watch(shown);
  }

  // Told the USB location path of the camera whose update is about to begin (F/W UPDATE), after
  // its version was read. The bench plants its faults there.
  void SetBeforeUpdate(std::function<void(const std::string& locationPath)> hook) {
    beforeUpdate_ = std::move(hook);
  }
  // How many times Windows has refused access to a device so far (the ports count it); a camera
  // that fails after a refusal was not reachable without an elevated prompt. Empty: never.
  void SetDeniedCount(std::function<std::uint64_t()> count) { deniedCount_ = std::move(count); }

  std::vector<ListedDevice> List(bool withVersions) override;
  UpdateResult Update(const ListedDevice& camera, const std::string& filePath,
                      const ProgressSink& progress) override;

 private:
  bool Start();
  // Selects list entry `index` as a person would.
  void Select(int index);
  // READ F/W VERSION on the selected entry: the version the program shows; empty when it shows
  // none.
  std::string ReadVersion();
  // After an update the program did not call failed: a camera that restarts comes back on its
  // own time, and each device change it makes is handed to the dialog. False when the program
  // did not come to rest.
  bool AwaitReturn();
  // The message boxes and modal dialogs since the first `before` of them.
  std::vector<ConsoleDialog::Box> NewBoxes(std::size_t before) const;
  std::vector<int> NewModals(std::size_t before) const;

  ConsoleDialog& dialog_;
  const ShownControls& shown_;
  DialogHost& host_;
  std::function<void(const std::string&)> beforeUpdate_;
  std::function<std::uint64_t()> deniedCount_;
  bool started_ = false;
};

}  // namespace veltra::console

// Pellix: the password manager and form filler. The first argument is the switch.
#include <string>
#include <vector>

#include "app/dialog_launcher.h"
#include "app/start_up.h"
#include "platform/display/x11_display.h"

int main(int argc, char** argv) {
  // The windows go to the X display when one answers; otherwise they stay headless.
  platform::display::ChooseDisplay();
  TDialogLauncher launcher;
  int exitCode = StartApplication(std::vector<std::string>(argv + 1, argv + argc), launcher);
  platform::display::StopX11();
  return exitCode;
}

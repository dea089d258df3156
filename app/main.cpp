// Pellix: the password manager and form filler. The first argument is the switch.
#include <string>
#include <vector>

#include "app/dialog_launcher.h"
#include "app/start_up.h"

int main(int argc, char** argv) {
  TDialogLauncher launcher;
  return StartApplication(std::vector<std::string>(argv + 1, argv + argc), launcher);
}

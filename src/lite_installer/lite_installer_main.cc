#include <windows.h>

#include "lite_installer/exit_codes.h"
#include "lite_installer/startup.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  // No exception leaves the program's threads; one that reached this far
  // ends the run undecided rather than in std::terminate.
  try {
    return lite::RunInstallerProcess();
  } catch (...) {
    return lite::kExitInstallerUndecided;
  }
}

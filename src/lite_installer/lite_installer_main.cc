#include <windows.h>

#include "lite_installer/startup.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  return lite::RunInstallerProcess();
}

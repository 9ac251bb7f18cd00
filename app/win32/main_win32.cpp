// Program entry on Windows: no arguments are read; the forum addresses are
// fixed when the program is built. Closing the window ends the process with
// exit code 0.
#include <windows.h>

#include "app/composition.h"
#include "app/endpoints.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  return brevane::app::RunProgram(brevane::app::BuiltInEndpoints());
}

// The stub's entry point.
#include <windows.h>

#include "app/run_stub.h"
#include "platform/system_library.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  // Before any DLL is loaded: a DLL planted beside the setup would run with
  // its rights.
  ferry::RestrictDllSearchToSystem();
  return ferry::RunStub(nullptr);
}

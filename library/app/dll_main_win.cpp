// The DLL's entry point: the library starts with the process attach and
// ends with the detach.
#include <windows.h>

#include "app/camera_lib_app.h"
#include "camera/teardown.h"

namespace {

using quorvel::TeardownContext;

}  // namespace

// The C runtime's entry point constructs the library object (which starts
// the socket layer) before it calls this, and destroys it after the detach.
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason,
                               LPVOID reserved) {
  quorvel::CCameraLibApp& app = quorvel::TheApp();
  switch (reason) {
    case DLL_PROCESS_ATTACH:
      // The library keeps no state per thread.
      (void)::DisableThreadLibraryCalls(instance);
      if (!app.started()) {
        app.ExitInstance(TeardownContext::kLoaderLock);
        return FALSE;
      }
      return TRUE;
    case DLL_PROCESS_DETACH:
      // FreeLibrary (reserved is null): the workers still run, but under
      // the loader lock none of them can end, so none is joined. Process
      // end: the other threads are gone already.
      app.ExitInstance(reserved == nullptr ? TeardownContext::kLoaderLock
                                           : TeardownContext::kProcessEnd);
      return TRUE;
    default:
      return TRUE;
  }
}

// Lifetime, errors, version, and the exports this camera does not support.
#include <new>

#include "api/export_support.h"
#include "platform/platform_services.h"

using namespace orvex;

namespace {

constexpr std::int32_t kDllVersion = 0x001F0500;

// The body shared by every export of a feature this camera lacks.
std::int32_t UnsupportedOperation(CameraHandle handle) {
  return WithContext(handle, 0, [](CameraContext& context) {
    context.RecordError(ErrorCode::kNotSupported);
    return 0;
  });
}

}  // namespace

extern "C" {

CameraHandle ORVEX_CALL Orvex_Initialize(OrvexWindow notifyWindow) {
  platform::SystemClock& clock = platform::Clock();
  HandleRegistry& registry = Registry();
  // Unseeded rand, the tick count and the number of live handles, added with wrap-around; a
  // value that is 0 (this export's failure result) or already in use moves on to the next free
  // one, so that no two live cameras ever share a handle.
  std::int32_t handle =
      static_cast<std::int32_t>(static_cast<std::uint32_t>(clock.Rand()) + clock.TickCount() +
                                static_cast<std::uint32_t>(registry.Count()));

  auto* context = new (std::nothrow) CameraContext;
  if (context == nullptr) return 0;
  if (!registry.AddContextAtFreeHandle(&handle, context)) {
    delete context;
    return 0;
  }
  // The context itself, not a lookup of its value: other threads may already be calling it.
  // Registered, it is the application's from here on: a start-up that ran out of memory leaves
  // the handle with that error, as any start-up that failed does.
  try {
    context->Initialize(ToWindowHandle(notifyWindow));
  } catch (const std::bad_alloc&) {
    context->RecordError(ErrorCode::kBuffer);
  }
  return handle;
}

std::int32_t ORVEX_CALL Orvex_Release(CameraHandle handle) {
  // Out of the registry first, then destroyed: a call with this handle on another thread meets
  // an unregistered handle instead of a context being torn down, and the destruction (which
  // waits for the preview to end) holds up no other handle.
  CameraContext* context = Registry().TakeContext(handle);
  if (context == nullptr) return 0;
  // Calls still running on other threads end first (a snapshot its frame, a dialog its user).
  // A release from within a call of this thread (a window procedure run by a dialog, say)
  // cannot wait for that call: the preview stops now, and the call frees the context as it
  // returns.
  if (context->Calls().Retire(ContextLease::HeldByThisThread(context))) {
    delete context;
  } else {
    context->Close();
  }
  return 1;
}

std::int32_t ORVEX_CALL Orvex_GetLastError(CameraHandle handle) {
  return WithContext(handle, 0, [](CameraContext& context) { return context.TakeLastError(); });
}

std::int32_t ORVEX_CALL Orvex_GetDllVersion(void) {
  return kDllVersion;
}

#define ORVEX_UNSUPPORTED(name)                            \
  std::int32_t ORVEX_CALL name(CameraHandle handle, ...) { \
    return UnsupportedOperation(handle);                   \
  }
ORVEX_UNSUPPORTED(Orvex_Fps)
ORVEX_UNSUPPORTED(Orvex_GetCameraType)
ORVEX_UNSUPPORTED(Orvex_SetCameraType)
ORVEX_UNSUPPORTED(Orvex_GetHalfClock)
ORVEX_UNSUPPORTED(Orvex_SetHalfClock)
ORVEX_UNSUPPORTED(Orvex_GetIOPort)
ORVEX_UNSUPPORTED(Orvex_SetIOPort)
ORVEX_UNSUPPORTED(Orvex_GetMirrorH)
ORVEX_UNSUPPORTED(Orvex_SetMirrorH)
ORVEX_UNSUPPORTED(Orvex_GetMirrorV)
ORVEX_UNSUPPORTED(Orvex_SetMirrorV)
ORVEX_UNSUPPORTED(Orvex_ReadRegister)
ORVEX_UNSUPPORTED(Orvex_WriteRegister)
ORVEX_UNSUPPORTED(Orvex_SetSamplingRate)
ORVEX_UNSUPPORTED(Orvex_SetCrossbar)
ORVEX_UNSUPPORTED(Orvex_Record)
ORVEX_UNSUPPORTED(Orvex_Trigger)
#undef ORVEX_UNSUPPORTED

}  // extern "C"

#include "api/context_lease.h"

#include "api/handle_registry.h"
#include "core/camera_context.h"

namespace orvex {
namespace {

// The contexts this thread is inside, innermost last. Calls nest only through callbacks into
// the application, so a few levels are plenty; deeper ones go uncounted.
constexpr int kMaxNesting = 32;
thread_local const CameraContext* heldContexts[kMaxNesting];
thread_local int heldDepth = 0;

}  // namespace

ContextLease::ContextLease(std::int32_t handle) : context_(Registry().EnterContext(handle)) {
  if (context_ != nullptr && heldDepth < kMaxNesting) heldContexts[heldDepth] = context_;
  if (context_ != nullptr) ++heldDepth;
}

ContextLease::~ContextLease() {
  if (context_ == nullptr) return;
  --heldDepth;
  if (context_->Calls().Leave()) delete context_;
}

int ContextLease::HeldByThisThread(const CameraContext* context) {
  int held = 0;
  for (int i = 0; i < heldDepth && i < kMaxNesting; ++i) {
    if (heldContexts[i] == context) ++held;
  }
  return held;
}

}  // namespace orvex

#pragma once

#include <cstdint>

namespace orvex {

class CameraContext;

// One call of the application on the context of a handle. The context is counted in while the
// registry's lock is held, so a release on another thread either finds the handle gone first
// or waits for this call to end before it frees the context.
class ContextLease {
 public:
  explicit ContextLease(std::int32_t handle);
  ~ContextLease();
  ContextLease(const ContextLease&) = delete;
  ContextLease& operator=(const ContextLease&) = delete;

  // Null when the handle is not registered.
  CameraContext* get() const { return context_; }
  explicit operator bool() const { return context_ != nullptr; }
  CameraContext& operator*() const { return *context_; }
  CameraContext* operator->() const { return context_; }

  // How many calls on `context` the calling thread itself is inside: a release from a window
  // procedure or dialog running within one of them cannot wait for those.
  static int HeldByThisThread(const CameraContext* context);

 private:
  CameraContext* context_;
};

}  // namespace orvex

#include "api/handle_registry.h"

#include <new>

#include "core/camera_context.h"

namespace orvex {

bool HandleRegistry::AddContext(std::int32_t handle, CameraContext* context) {
  auto* node = new (std::nothrow) RegistryNode{handle, context, nullptr, nullptr};
  if (node == nullptr) return false;
  std::lock_guard lock(mutex_);
  LinkLocked(node);
  return true;
}

bool HandleRegistry::AddContextAtFreeHandle(std::int32_t* handle, CameraContext* context) {
  auto* node = new (std::nothrow) RegistryNode{*handle, context, nullptr, nullptr};
  if (node == nullptr) return false;
  std::lock_guard lock(mutex_);
  // Fewer values are taken than there are nodes, so this ends within count_ + 1 steps.
  while (node->handle == 0 || HoldsLocked(node->handle)) {
    node->handle = static_cast<std::int32_t>(static_cast<std::uint32_t>(node->handle) + 1u);
  }
  *handle = node->handle;
  LinkLocked(node);
  return true;
}

void HandleRegistry::LinkLocked(RegistryNode* node) {
  if (head_ == nullptr) {
    node->prev = node;
    node->next = node;
    count_ = 1;
  } else {
    RegistryNode* tail = head_->prev;
    node->prev = tail;
    node->next = head_;
    tail->next = node;
    head_->prev = node;
    ++count_;
  }
  head_ = node;
}

bool HandleRegistry::HoldsLocked(std::int32_t handle) const {
  if (head_ == nullptr) return false;
  const RegistryNode* node = head_;
  do {
    if (node->handle == handle) return true;
    node = node->next;
  } while (node != head_);
  return false;
}

RegistryNode* HandleRegistry::FindNodeLocked(std::int32_t handle) {
  if (head_ == nullptr) return nullptr;
  const std::int32_t last = head_->prev->handle;
  RegistryNode* node = head_;
  while (node->handle != handle) {
    if (node->handle == last) return nullptr;
    node = node->next;
    head_ = node;
  }
  return node;
}

CameraContext* HandleRegistry::FindContext(std::int32_t handle) {
  std::lock_guard lock(mutex_);
  const RegistryNode* node = FindNodeLocked(handle);
  return node != nullptr ? node->context : nullptr;
}

CameraContext* HandleRegistry::EnterContext(std::int32_t handle) {
  std::lock_guard lock(mutex_);
  const RegistryNode* node = FindNodeLocked(handle);
  if (node == nullptr || node->context == nullptr) return nullptr;
  node->context->Calls().Enter();
  return node->context;
}

CameraContext* HandleRegistry::TakeContext(std::int32_t handle) {
  std::lock_guard lock(mutex_);
  RegistryNode* node = FindNodeLocked(handle);
  if (node == nullptr || node->context == nullptr) return nullptr;
  // The node found is the head, so removing the head removes it.
  CameraContext* context = node->context;
  node->context = nullptr;
  RemoveHeadLocked();
  return context;
}

int HandleRegistry::RemoveHeadLocked() {
  if (head_ == nullptr) return 0;
  RegistryNode* node = head_;
  if (count_ == 1 || node->next == node) {
    head_ = nullptr;
    count_ = 0;
  } else {
    node->prev->next = node->next;
    node->next->prev = node->prev;
    head_ = node->next;
    --count_;
  }
  delete node;
  return 1;
}

int HandleRegistry::RemoveHead() {
  std::lock_guard lock(mutex_);
  return RemoveHeadLocked();
}

void HandleRegistry::ClearRegistry() {
  std::lock_guard lock(mutex_);
  while (RemoveHeadLocked() != 0) {
  }
}

namespace {
HandleRegistry registry;
}  // namespace

HandleRegistry& Registry() {
  return registry;
}

}  // namespace orvex

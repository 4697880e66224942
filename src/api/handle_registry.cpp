#include "api/handle_registry.h"

#include <new>

namespace orvex {

bool HandleRegistry::AddContext(std::int32_t handle, CameraContext* context) {
  auto* node = new (std::nothrow) RegistryNode{handle, context, nullptr, nullptr};
  if (node == nullptr) return false;
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
  return true;
}

CameraContext* HandleRegistry::FindContext(std::int32_t handle) {
  if (head_ == nullptr) return nullptr;
  const std::int32_t last = head_->prev->handle;
  RegistryNode* node = head_;
  while (node->handle != handle) {
    if (node->handle == last) return nullptr;
    node = node->next;
    head_ = node;
  }
  return node->context;
}

int HandleRegistry::RemoveHead() {
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

void HandleRegistry::ClearRegistry() {
  while (RemoveHead() != 0) {
  }
}

namespace {
HandleRegistry registry;
}  // namespace

HandleRegistry& Registry() {
  return registry;
}

}  // namespace orvex

#pragma once

#include <atomic>

namespace orvex {

// A 32-bit setting or flag that another thread reads while this one writes it. Every access is
// one whole load or store; no ordering with other values is implied (use std::atomic directly
// where an order matters).
template <typename T>
class RelaxedAtomic {
 public:
  constexpr RelaxedAtomic() noexcept : value_{} {}
  constexpr RelaxedAtomic(T value) noexcept : value_(value) {}  // NOLINT: reads like a field
  RelaxedAtomic(const RelaxedAtomic& other) noexcept : value_(other.load()) {}
  RelaxedAtomic& operator=(const RelaxedAtomic& other) noexcept {
    store(other.load());
    return *this;
  }
  RelaxedAtomic& operator=(T value) noexcept {
    store(value);
    return *this;
  }
  operator T() const noexcept { return load(); }  // NOLINT

  T load() const noexcept { return value_.load(std::memory_order_relaxed); }
  void store(T value) noexcept { value_.store(value, std::memory_order_relaxed); }
  // Stores `desired` only where the value is still `expected`; whether it did.
  bool CompareExchange(T expected, T desired) noexcept {
    return value_.compare_exchange_strong(expected, desired, std::memory_order_relaxed);
  }

 private:
  std::atomic<T> value_;
  static_assert(std::atomic<T>::is_always_lock_free);
};

}  // namespace orvex

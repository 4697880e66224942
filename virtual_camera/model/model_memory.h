#pragma once

#include <cstddef>
#include <cstring>
#include <type_traits>
#include <utility>

namespace orvex::vcam {

// The camera model's memory comes from its host: the C runtime's heap in a user-mode library
// (model/user_memory.cpp), the pool in the kernel-mode driver. A host either returns null when
// memory is short, which makes the model's operation fail, or raises its own error.
void* AllocateModelMemory(std::size_t bytes);
void FreeModelMemory(void* memory);

// An array of plain values in model memory. Unlike a standard container it neither throws nor
// needs a runtime library beyond the two functions above, so that the model also builds for a
// kernel-mode driver.
template <typename T>
class ModelArray {
  static_assert(std::is_trivially_copyable_v<T>);

 public:
  ModelArray() = default;
  ModelArray(const ModelArray&) = delete;
  ModelArray& operator=(const ModelArray&) = delete;
  ModelArray(ModelArray&& other) noexcept
      : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)) {}
  ModelArray& operator=(ModelArray&& other) noexcept {
    if (this != &other) {
      Clear();
      data_ = std::exchange(other.data_, nullptr);
      size_ = std::exchange(other.size_, 0);
    }
    return *this;
  }
  ~ModelArray() { Clear(); }

  // Makes room for exactly `count` values. The old values are kept when the size stays the
  // same, otherwise the new ones are undefined. False (and empty) when memory is short.
  bool SetSize(std::size_t count) {
    if (count == size_ && data_ != nullptr) return true;
    Clear();
    if (count == 0) return true;
    if (count > static_cast<std::size_t>(-1) / sizeof(T)) return false;
    data_ = static_cast<T*>(AllocateModelMemory(count * sizeof(T)));
    if (data_ == nullptr) return false;
    size_ = count;
    return true;
  }

  // A copy of `count` values; false (and empty) when memory is short.
  bool Assign(const T* values, std::size_t count) {
    if (!SetSize(count)) return false;
    if (count != 0) std::memcpy(data_, values, count * sizeof(T));
    return true;
  }

  void Clear() {
    if (data_ != nullptr) FreeModelMemory(data_);
    data_ = nullptr;
    size_ = 0;
  }

  T* data() { return data_; }
  const T* data() const { return data_; }
  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  T& operator[](std::size_t i) { return data_[i]; }
  const T& operator[](std::size_t i) const { return data_[i]; }

 private:
  T* data_ = nullptr;
  std::size_t size_ = 0;
};

}  // namespace orvex::vcam

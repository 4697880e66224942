// The camera model's memory in a user-mode library: the C runtime's heap. Running short is an
// exception here, like any other allocation of the library, which its C functions turn into
// their failure values.
#include <cstdlib>
#include <new>

#include "model/model_memory.h"

namespace orvex::vcam {

void* AllocateModelMemory(std::size_t bytes) {
  void* memory = std::malloc(bytes);
  if (memory == nullptr) throw std::bad_alloc();
  return memory;
}

void FreeModelMemory(void* memory) {
  std::free(memory);
}

}  // namespace orvex::vcam

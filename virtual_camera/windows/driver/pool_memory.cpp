// The camera model's memory in the driver: the paged pool. The model only runs at
// PASSIVE_LEVEL, in dispatch routines and on the cameras' threads. Null when the pool is short,
// which fails the request that needed it.
#include "model/model_memory.h"
#include "windows/driver/kernel.h"

namespace orvex::vcam {

void* AllocateModelMemory(std::size_t bytes) {
  return ExAllocatePoolWithTag(PagedPool, bytes, kernel::kPoolTag);
}

void FreeModelMemory(void* memory) {
  ExFreePoolWithTag(memory, kernel::kPoolTag);
}

}  // namespace orvex::vcam

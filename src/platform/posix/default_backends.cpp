#include "platform/default_backends.h"
#include "platform/posix/reg_file_store.h"

namespace orvex::platform {

RegistryStore& DefaultRegistryStore() {
  static RegFileStore store;
  return store;
}

}  // namespace orvex::platform

#pragma once

namespace orvex::platform {

// A routine that executes an instruction the processor or the operating system may refuse.
using GuardedRoutine = void (*)(void* argument);

// Runs `routine(argument)` and reports whether it finished without an invalid-instruction (or
// privileged-instruction) fault; after a fault the routine is abandoned where it faulted, so it
// must hold nothing that needs cleaning up. Safe to call from several threads at once.
bool RunGuarded(GuardedRoutine routine, void* argument);

}  // namespace orvex::platform

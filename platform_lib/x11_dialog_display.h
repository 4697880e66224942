// The X display connection of the drawn dialogs: the library's own, never the application's.
//
// Found once per process with a bounded probe: XOpenDisplay runs on a thread of its own and the
// caller waits two seconds at most, since a server that accepts a connection and never answers
// would block it for ever. The connection the probe opened is the one kept; it stays open for
// the life of the process (the toolkit that draws on it cannot be pointed at another one).
//
// Errors never reach the process-wide Xlib handlers, which belong to the application (a GTK host
// keeps its error traps there): protocol errors of this connection are taken per display and
// recorded, and a lost connection marks it dead instead of ending the process. Dialogs are then
// headless from the next one on. Only a server that goes away while the connection is in use
// still reaches the application's I/O error handler, as it does for the application's own
// connection at the same moment.
//
// One thread draws at a time (the seat): the toolkit keeps process-wide state. A thread takes
// the seat when it opens a modal dialog and leaves it when its last drawn dialog ends; a dialog
// opened meanwhile on another thread stays headless.
#pragma once

#include <X11/Xlib.h>

namespace orvex::headless::x11 {

// Whether a display is reachable and drawing is allowed; probes on the first call.
bool DisplayUsable();
void AllowDrawing(bool allow);

// Takes the seat for the calling thread (again, when it holds it); false when another thread
// holds it or no display is usable. The first take calls `initialise(display)` once, with the
// seat held.
bool TakeSeat(void (*initialise)(Display*));
void LeaveSeat();
// The connection, for the holder of the seat.
Display* SeatDisplay();

// The first protocol error since the last ClearError, 0 for none.
void ClearError();
int LastError();

// A descriptor that becomes readable when Wake is called (from any thread), and drains it.
int WakeDescriptor();
void Wake();
void DrainWakes();

}  // namespace orvex::headless::x11

// Pauses during which the window keeps painting and handling its messages.
#pragma once

#include <windows.h>

namespace libmaj {

// Waits `secondes` seconds while the thread's window messages are handled; sleeps on the
// message queue between messages rather than spinning. A negative duration returns at once
// without handling any message.
void attente(float secondes);

// Handles every message waiting in the thread's queue, then returns.
void cedemessages();

// Seconds of a clock that only goes forward (midnight does not reset it).
double horlogemonotone();

// Sleeps until a message arrives for the thread or `secondes` have passed.
void dortsurmessages(double secondes);

// Waits for the event to be signalled, at most `secondes`, handling the thread's messages
// meanwhile; true when it was signalled.
bool attendsurmessages(HANDLE evenement, double secondes);

}  // namespace libmaj

#pragma once
// A stop (SIGTERM, SIGINT or SIGHUP) as the one flag the whole program polls. Every wait the
// program can enter (a start-up open, the frame sleep, a host-stream record waiting for room,
// a capture being written) ends on it, and the session then ends as stopped.
#include <sys/types.h>

namespace skimbo {

// Catches the three stop signals, whatever the parent left them as (ignored or blocked).
// Their handler lets a blocking call return EINTR instead of resuming it.
void install_stop_handlers();

// True once a stop signal arrived.
bool stop_requested();

// open(2), tried again after EINTR, not tried once a stop arrived: -1 with errno EINTR then.
// Opening a FIFO waits for its other end.
int open_unless_stopped(const char* path, int flags, mode_t mode = 0);

}  // namespace skimbo

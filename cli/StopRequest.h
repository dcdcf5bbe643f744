#pragma once
// A request from outside to stop tessaro-cli (POSIX: SIGINT or SIGTERM;
// Windows: the console's Ctrl-C, Ctrl-Break and close events).

namespace tessaro {

// From now on a stop request no longer ends the process: it is recorded, to
// be read with stopRequest().
void watchStopRequests();

// 0 while no stop was requested; else the exit status that the request
// calls for (128 + the signal number: 130 for SIGINT, 143 for SIGTERM).
int stopRequest();

}  // namespace tessaro

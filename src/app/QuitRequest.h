// SIGINT, SIGTERM and SIGHUP only raise a flag; every screen loop then leaves through its normal
// path.
#pragma once

void installQuitHandler();
bool quitRequested();
void requestQuit();  // what the signal handler does; tests call it directly
void clearQuitRequest();

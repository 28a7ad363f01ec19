// Start-up, the main loop and shutdown of the whole program.
#pragma once

bool startLibrary(int width, int height, bool windowed);
void stopLibrary();

// The entry point's body; returns the process exit code.
int runZeph();

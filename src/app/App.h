// Start-up, the main loop and shutdown of the whole program.
#pragma once

bool startLibrary(int width, int height, bool windowed);
void stopLibrary();

// The options screen chose full screen. When it is refused the 640x480 window comes back; when
// that is refused too, the "Cannot find a suitable graphicmode!" box is shown and false returned.
bool switchToFullScreen();

// The entry point's body; returns the process exit code.
int runZeph();

// Start-up error boxes: an xmessage dialog when a display is there, stderr always.
#pragma once

void showMessageBox(const char* text, const char* title);

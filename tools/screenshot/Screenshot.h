#pragma once

#include <windows.h>

#include <string>

// Saves a window as the screen shows it, title bar included, as NAME.bmp (24-bit) in the folder
// the environment variable OSCIMO_SCREENSHOT_DIR names; without it, does nothing. Takes the
// documentation's pictures (scripts/screenshots) while a test drives the program.
void SaveScreenshot(HWND window, const std::string& name);

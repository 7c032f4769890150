#pragma once

#include <windows.h>

// A message box owned by the active window, captioned with the application's title; without an
// icon in type it shows the warning icon. Returns the id of the button pressed.
int AfxMessageBox(LPCWSTR text, UINT type = MB_OK, UINT helpId = 0);

// Waits for a program's window to be up, by its title, and saves it as the screen shows it:
// the proof that the program started, for scripts/run-app.
//   window-shot TITLE NAME   (the picture goes to OSCIMO_SCREENSHOT_DIR/NAME.bmp)
#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <memory>

#include "Screenshot.h"

int main(int argc, char** argv) {
    int count = 0;
    const std::unique_ptr<LPWSTR, decltype(&LocalFree)> arguments(
        CommandLineToArgvW(GetCommandLineW(), &count), LocalFree);
    if (!arguments || count != 3 || argc != 3) {
        std::fputs("usage: window-shot TITLE NAME\n", stderr);
        return 2;
    }
    const wchar_t* title = arguments.get()[1];  // the title in full, whatever the code page
    // Seen means shown and answering messages, so its first painting is done or under way. The
    // caller waits on the program itself and ends this wait if the program ends first.
    HWND window = nullptr;
    DWORD_PTR answer = 0;
    while (!(window = FindWindowW(nullptr, title)) || !IsWindowVisible(window) ||
           !SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000, &answer))
        Sleep(100);
    SetForegroundWindow(window);  // drawn as a person sees it: active
    SaveScreenshot(window, argv[2]);
    return 0;
}

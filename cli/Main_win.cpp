#include "Converter.h"

// Windows shells pass patterns through unexpanded; the runtime expands them before wmain, as a
// POSIX shell would (a pattern that matches nothing is passed on as it is).
int _dowildcard = -1;

// Wide arguments, so that file names no code page can express reach the converter intact.
int wmain(int argc, wchar_t** argv) {
    return RunConverter({argv + 1, argv + argc});
}

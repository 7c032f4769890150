#include "Converter.h"

// Wide arguments, so that file names no code page can express reach the converter intact.
int wmain(int argc, wchar_t** argv) {
    return RunConverter({argv + 1, argv + argc});
}

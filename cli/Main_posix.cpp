#include "Converter.h"

int main(int argc, char** argv) {
    return RunConverter({argv + 1, argv + argc});
}

// libFuzzer entry: each input is a whole recording file, read from memory.
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "RecordingFuzzTarget.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // fmemopen refuses an empty buffer; a zero-length file is its own, valid case.
    static char empty;
    void* bytes = size ? const_cast<std::uint8_t*>(data) : static_cast<void*>(&empty);
    std::FILE* recording = fmemopen(bytes, size ? size : 1, "rb");
    if (!recording) return 0;
    if (size == 0) std::fgetc(recording);  // now at its end
    ExerciseRecording(recording);
    std::fclose(recording);
    return 0;
}

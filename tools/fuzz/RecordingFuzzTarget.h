#pragma once

#include <cstdio>

// Feeds one recording, whatever its bytes, through everything that reads it: the header checks,
// the block decoder, the summary, the health report, the picture and the CSV writer in each of
// its cell styles. Any crash, hang, leak or undefined behaviour in there is a fault.
void ExerciseRecording(std::FILE* recording);

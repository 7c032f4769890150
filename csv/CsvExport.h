#pragma once

// The dialog's export: the whole recording as CSV, and the name proposed for it.

#include <string>

#include "LoadedRecording.h"
#include "OutputFile.h"

// Writes the whole recording: "Time(s)" first when it has times, then X, Y, Z as columns.
// False when a write failed; the file then holds an unfinished text.
bool WriteCsv(OutputFile& file, const LoadedRecording& recording);

// The suggested export name: the file name after the last backslash plus ".csv"; empty when
// the path is empty or has no backslash past its first character.
std::wstring DefaultExportName(const std::wstring& sourcePath);

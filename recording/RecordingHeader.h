#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "ReadProblem.h"
#include "RecordingTypes.h"

// Checks the header of an open recording and leaves the file at the first byte of the body.
// On acceptance sets headerText and format; on rejection leaves both untouched.
bool ReadRecordingHeader(std::FILE* file, std::string& headerText, SensorFormat& format,
                         ReadProblem* problem);

SensorFormat LookUpSensorFormat(std::string_view sensorTypeToken);

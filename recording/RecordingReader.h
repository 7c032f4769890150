#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "Platform.h"
#include "ReadProblem.h"
#include "RecordingTypes.h"

// Longest header token, in bytes; ReadHeaderToken's scratch holds it and a terminator.
constexpr std::size_t kMaxTokenBytes = 1023;

// Reads one recording: checks the header, sets headerText once the header is accepted, appends
// every complete sample to times and rows. Returns the column count, or 0 when the file cannot
// be opened, the header is rejected, reading fails before the end of the file or no complete
// sample follows the header. The narrow path is taken as the platform's byte-oriented fopen
// takes it.
std::int32_t ReadRecording(const char* path, std::vector<double>& times,
                           std::vector<SampleRow>& rows, std::string& headerText,
                           ReadProblem* problem = nullptr);

// The same, for a file named by a native path: names no code page can express open too.
std::int32_t ReadRecording(const std::filesystem::path& path, std::vector<double>& times,
                           std::vector<SampleRow>& rows, std::string& headerText,
                           ReadProblem* problem = nullptr);

// Opens exactly the file a native path names for reading; null with the reason on failure.
FilePtr OpenRecordingFile(const std::filesystem::path& path, ReadProblem* problem);

// Checks the header of an open recording and leaves the file at the first byte of the body.
// On acceptance sets headerText and format; on rejection leaves both untouched.
bool ReadRecordingHeader(std::FILE* file, std::string& headerText, SensorFormat& format,
                         ReadProblem* problem);

// Reads one separator-terminated header token; false when it is empty or longer than 1023 bytes.
bool ReadHeaderToken(std::FILE* file, char (&scratch)[kMaxTokenBytes + 1], std::string& token);

SensorFormat LookUpSensorFormat(std::string_view sensorTypeToken);

// Reverses width bytes in place and reads them as binary32 (widened) or binary64; else 0.
double DecodeBigEndianValue(unsigned char* bytes, int width);

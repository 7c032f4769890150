#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "Platform.h"
#include "ReadProblem.h"
#include "RecordingTypes.h"

// The stamp of the last complete sample, where the file's size places it, for a file at the first
// byte of the body; false when the size is unknown or no complete sample follows. Leaves the file
// at an unspecified position.
bool PeekLastStamp(std::FILE* file, SensorFormat format, std::uint64_t& stamp);

// Decodes the body of a recording block by block, so callers choose between holding every
// sample and streaming them with bounded memory.
class SampleReader {
public:
    SampleReader(std::FILE* file, SensorFormat format);

    // Appends the next complete samples (at most about one block's worth), and their stamps as
    // recorded to stamps when given. Returns false once the body is exhausted, or reading it
    // failed (ReadError says so); an incomplete final sample is dropped.
    bool ReadBlock(std::vector<double>& times, std::vector<SampleRow>& rows,
                   std::vector<std::uint64_t>* stamps = nullptr);

    // The same with the stamps as recorded and no times, for callers that need no seconds.
    bool ReadBlock(std::vector<std::uint64_t>& stamps, std::vector<SampleRow>& rows);

    // The system's error code when reading failed before the end of the file, else 0: what was
    // read is then no whole recording.
    int ReadError() const { return m_error; }

    // Samples left in the file as its size tells, for reserving memory; 0 when unknown.
    std::uint64_t RemainingSamplesHint() const;

    // Samples one ReadBlock call delivers at most.
    std::size_t SamplesPerBlock() const { return m_bufferBytes / m_sampleBytes; }

private:
    bool Read(std::vector<double>* times, std::vector<SampleRow>& rows,
              std::vector<std::uint64_t>* stamps);

    std::FILE* m_file;
    SensorFormat m_format;
    std::size_t m_sampleBytes;
    std::size_t m_bufferBytes;
    std::unique_ptr<unsigned char[]> m_buffer;  // left uninitialised: every byte is read first
    std::size_t m_pending = 0;  // bytes of an incomplete sample carried to the next block
    bool m_haveBase = false;
    std::uint64_t m_baseStamp = 0;
    bool m_ended = false;
    int m_error = 0;
    std::uint64_t m_read = 0;  // bytes of the body read so far
};

// Tests: reading any body fails with error once afterBytes of it are read; error 0 ends this.
void FailBodyReadsForTesting(std::uint64_t afterBytes, int error);

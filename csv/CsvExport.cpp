#include "CsvExport.h"

#include <algorithm>

#include "BlockWriter.h"

bool WriteCsv(OutputFile& file, const LoadedRecording& recording) {
    // The converter's writer: every core formats, a thread of its own writes, a few megabytes of
    // text in memory at a time.
    constexpr std::size_t kBlock = 131'072;
    const std::size_t count = recording.rows.size();
    BlockWriter writer(file, {}, recording.HasTimes());
    std::size_t begin = 0;
    do {
        const std::size_t size = std::min(kBlock, count - begin);
        const double* times = recording.HasTimes() ? recording.times.data() + begin : nullptr;
        if (!writer.Write(recording.columnCount, times, recording.rows.data() + begin, size)) {
            return false;
        }
        begin += size;
    } while (begin < count);
    return writer.Finish();
}

std::wstring DefaultExportName(const std::wstring& sourcePath) {
    const std::size_t slash = sourcePath.rfind(L'\\');
    if (slash == std::wstring::npos || slash == 0) return {};
    return sourcePath.substr(slash + 1) + L".csv";
}

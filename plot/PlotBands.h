#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "PlotAxis.h"
#include "RecordingStats.h"

// What the picture shows of each value column, per panel and pixel column: the band from the
// least to the greatest finite sample falling in it, so that no spike is lost however many
// samples share a pixel, and the line that joins it to the column of the sample before. Memory
// depends on the picture's width only. The pixel columns divide a stamp range given up front
// (the first and last stamps, or a first pass's least and greatest); a sample outside it is left
// out and noted, and then the caller draws again over the true range.
class PlotBands {
public:
    static constexpr int kColumns = 1000;  // pixel columns of a panel
    static constexpr int kRows = 200;      // pixel rows of a panel

    struct Band {
        double min, max;  // min > max: no finite sample in this column
        int joinedFrom;   // the column of the sample before; -1 when not joined
        double fromValue, toValue;
        std::uint64_t step;  // between the two samples joined: a gap is drawn as a break
    };

    PlotBands(int panels, std::uint64_t lowStamp, std::uint64_t highStamp);

    void Add(const std::uint64_t* stamps, const SampleRow* rows, std::size_t count);

    // Whether every sample so far fell inside the stamp range.
    bool HeldAll() const { return !m_missed; }
    int Panels() const { return m_panels; }
    std::uint64_t LowStamp() const { return m_low; }
    std::uint64_t HighStamp() const { return m_low + m_span; }
    int ColumnOf(std::uint64_t stamp) const {
        if (m_span == 0) return kColumns / 2;
        if (stamp <= m_low) return 0;
        // Past the low stamp the difference is exact as unsigned, however far: one rounding.
        const double column = static_cast<double>(stamp - m_low) * m_columnsPerTick;
        return column >= kColumns - 1 ? kColumns - 1 : static_cast<int>(column);
    }
    const Band& BandOf(int panel, int column) const {
        return m_bands[static_cast<std::size_t>(panel * kColumns + column)];
    }

private:
    class Pass;
    std::uint64_t FirstStampOf(int column) const;

    int m_panels;
    std::uint64_t m_low, m_span;
    double m_columnsPerTick;
    std::vector<Band> m_bands;
    bool m_missed = false;
    // The sample before, for the lines.
    bool m_started = false;
    std::uint64_t m_previousStamp = 0;
    int m_previousColumn = 0;
    double m_previous[3] = {};  // NaN: not finite, so not joined
};

// The picture's scales: time in seconds since the first sample across the bands' stamp range,
// each panel's values across its bands with round ends, and the gap rule of the recording.
struct PlotScales {
    PlotScales(const PlotBands& bands, const RecordingStats& stats);

    int RowOf(int panel, double value) const;  // 0 at the top
    bool Joins(const PlotBands::Band& band) const {
        return band.joinedFrom >= 0 && band.step <= gapLimit;
    }

    PlotAxis time;
    std::vector<PlotAxis> values;
    std::uint64_t gapLimit;
};

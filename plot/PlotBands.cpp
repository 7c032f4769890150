#include "PlotBands.h"

#include <cmath>
#include <limits>

namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();

}  // namespace

PlotBands::PlotBands(int panels, std::uint64_t lowStamp, std::uint64_t highStamp)
    : m_panels(panels < 3 ? panels : 3),
      m_low(lowStamp),
      m_span(highStamp >= lowStamp ? highStamp - lowStamp : 0),
      m_columnsPerTick(m_span ? kColumns / static_cast<double>(m_span) : 0),
      m_bands(static_cast<std::size_t>(m_panels * kColumns),
              Band{kInfinity, -kInfinity, -1, 0, 0, 0}),
      m_missed(highStamp < lowStamp) {}

int PlotBands::ColumnOf(std::uint64_t stamp) const {
    if (m_span == 0) return kColumns / 2;
    const double column = TicksBetween(m_low, stamp) * m_columnsPerTick;
    return column <= 0 ? 0 : column >= kColumns - 1 ? kColumns - 1 : static_cast<int>(column);
}

void PlotBands::Add(const std::uint64_t* stamps, const SampleRow* rows, std::size_t count) {
    // What the loop reads and changes is in locals, which the compiler keeps in registers: the
    // current column's least and greatest values are stored only when the column changes, so that
    // no sample waits for a store and a reload of the one before.
    const std::uint64_t low = m_low, span = m_span;
    double least[3], greatest[3], previous[3];
    const auto load = [&](int column) {
        for (int panel = 0; panel < m_panels; ++panel) {
            least[panel] = m_bands[static_cast<std::size_t>(panel * kColumns + column)].min;
            greatest[panel] = m_bands[static_cast<std::size_t>(panel * kColumns + column)].max;
        }
    };
    const auto store = [&](int column) {
        for (int panel = 0; panel < m_panels; ++panel) {
            m_bands[static_cast<std::size_t>(panel * kColumns + column)].min = least[panel];
            m_bands[static_cast<std::size_t>(panel * kColumns + column)].max = greatest[panel];
        }
    };
    for (int panel = 0; panel < m_panels; ++panel) previous[panel] = m_previous[panel];
    std::uint64_t previousStamp = m_previousStamp;
    int current = m_previousColumn;
    bool started = m_started, missed = false;
    load(current);
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint64_t stamp = stamps[i];
        if (stamp - low > span) {  // below the range too, by the wrap
            missed = true;
            continue;
        }
        const int column = ColumnOf(stamp);
        if (column != current) {
            store(current);
            load(column);
            // Joined to the sample before when it went forward into a later column.
            if (started && column > current && stamp > previousStamp) {
                for (int panel = 0; panel < m_panels; ++panel) {
                    Band& band = m_bands[static_cast<std::size_t>(panel * kColumns + column)];
                    const double value = rows[i].values[panel];
                    if (band.joinedFrom < 0 && std::isfinite(value) &&
                        !std::isnan(previous[panel])) {
                        band = {band.min,        band.max, current,
                                previous[panel], value,    stamp - previousStamp};
                    }
                }
            }
            current = column;
        }
        for (int panel = 0; panel < m_panels; ++panel) {
            const double value = rows[i].values[panel];
            if (!std::isfinite(value)) {
                previous[panel] = NAN;
                continue;
            }
            least[panel] = value < least[panel] ? value : least[panel];
            greatest[panel] = value > greatest[panel] ? value : greatest[panel];
            previous[panel] = value;
        }
        started = true;
        previousStamp = stamp;
    }
    store(current);
    for (int panel = 0; panel < m_panels; ++panel) m_previous[panel] = previous[panel];
    m_previousStamp = previousStamp;
    m_previousColumn = current;
    m_started = started;
    m_missed = m_missed || missed;
}

PlotScales::PlotScales(const PlotBands& bands, const RecordingStats& stats)
    : time(stats.TimeOf(bands.LowStamp()), stats.TimeOf(bands.HighStamp()), 10, false),
      gapLimit(stats.MedianStep() ? stats.GapLimit() : std::numeric_limits<std::uint64_t>::max()) {
    for (int panel = 0; panel < bands.Panels(); ++panel) {
        double min = kInfinity, max = -kInfinity;
        for (int column = 0; column < PlotBands::kColumns; ++column) {
            const PlotBands::Band& band = bands.At(panel, column);
            min = band.min < min ? band.min : min;
            max = band.max > max ? band.max : max;
        }
        values.emplace_back(min <= max ? min : -1, min <= max ? max : 1, 5, true);
    }
}

int PlotScales::RowOf(int panel, double value) const {
    const double row =
        (1 - values[static_cast<std::size_t>(panel)].Fraction(value)) * PlotBands::kRows;
    return row <= 0                      ? 0
           : row >= PlotBands::kRows - 1 ? PlotBands::kRows - 1
                                         : static_cast<int>(row);
}

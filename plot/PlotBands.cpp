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
    if (stamp <= m_low) return 0;
    // Past the low stamp the difference is exact as unsigned, however far: one rounding.
    const double column = static_cast<double>(stamp - m_low) * m_columnsPerTick;
    return column >= kColumns - 1 ? kColumns - 1 : static_cast<int>(column);
}

// Add's walk through one block. What the walk reads and changes is in members of an object local
// to Add, which the compiler keeps in registers: the current column's least and greatest values
// are stored only when the column changes, so that no sample waits for a store and a reload of
// the one before.
class PlotBands::Pass {
public:
    explicit Pass(PlotBands& bands)
        : m_plot(bands),
          m_bands(bands.m_bands.data()),
          m_panels(bands.m_panels),
          m_current(bands.m_previousColumn),
          m_previousStamp(bands.m_previousStamp),
          m_started(bands.m_started) {
        for (int panel = 0; panel < m_panels; ++panel) m_previous[panel] = bands.m_previous[panel];
        Load();
    }

    // A sample inside the stamp range.
    void Take(std::uint64_t stamp, const SampleRow& row) {
        const int column = m_plot.ColumnOf(stamp);
        if (column != m_current) Enter(column, stamp, row);
        for (int panel = 0; panel < m_panels; ++panel) Widen(panel, row.values[panel]);
        m_started = true;
        m_previousStamp = stamp;
    }

    void Finish() {
        Store();
        for (int panel = 0; panel < m_panels; ++panel) m_plot.m_previous[panel] = m_previous[panel];
        m_plot.m_previousStamp = m_previousStamp;
        m_plot.m_previousColumn = m_current;
        m_plot.m_started = m_started;
    }

private:
    Band& At(int panel, int column) { return m_bands[panel * kColumns + column]; }

    void Load() {
        for (int panel = 0; panel < m_panels; ++panel) {
            m_least[panel] = At(panel, m_current).min;
            m_greatest[panel] = At(panel, m_current).max;
        }
    }

    void Store() {
        for (int panel = 0; panel < m_panels; ++panel) {
            At(panel, m_current).min = m_least[panel];
            At(panel, m_current).max = m_greatest[panel];
        }
    }

    void Enter(int column, std::uint64_t stamp, const SampleRow& row) {
        Store();
        // Joined to the sample before when it went forward into a later column.
        if (m_started && column > m_current && stamp > m_previousStamp) {
            for (int panel = 0; panel < m_panels; ++panel) Join(panel, column, stamp, row);
        }
        m_current = column;
        Load();
    }

    void Join(int panel, int column, std::uint64_t stamp, const SampleRow& row) {
        Band& band = At(panel, column);
        const double value = row.values[panel];
        if (band.joinedFrom < 0 && std::isfinite(value) && !std::isnan(m_previous[panel])) {
            band.joinedFrom = m_current;
            band.fromValue = m_previous[panel];
            band.toValue = value;
            band.step = stamp - m_previousStamp;
        }
    }

    void Widen(int panel, double value) {
        if (!std::isfinite(value)) {
            m_previous[panel] = NAN;
            return;
        }
        m_least[panel] = value < m_least[panel] ? value : m_least[panel];
        m_greatest[panel] = value > m_greatest[panel] ? value : m_greatest[panel];
        m_previous[panel] = value;
    }

    PlotBands& m_plot;
    Band* m_bands;
    int m_panels;
    int m_current;
    std::uint64_t m_previousStamp;
    bool m_started;
    double m_least[3], m_greatest[3], m_previous[3];
};

void PlotBands::Add(const std::uint64_t* stamps, const SampleRow* rows, std::size_t count) {
    const std::uint64_t low = m_low, span = m_span;
    Pass pass(*this);
    bool missed = false;
    for (std::size_t i = 0; i < count; ++i) {
        if (stamps[i] - low > span) {  // below the range too, by the wrap
            missed = true;
        } else {
            pass.Take(stamps[i], rows[i]);
        }
    }
    pass.Finish();
    m_missed = m_missed || missed;
}

PlotScales::PlotScales(const PlotBands& bands, const RecordingStats& stats)
    : time(stats.TimeOf(bands.LowStamp()), stats.TimeOf(bands.HighStamp()), 10, false),
      gapLimit(stats.MedianStep() ? stats.GapLimit() : std::numeric_limits<std::uint64_t>::max()) {
    for (int panel = 0; panel < bands.Panels(); ++panel) {
        double min = kInfinity, max = -kInfinity;
        for (int column = 0; column < PlotBands::kColumns; ++column) {
            const PlotBands::Band& band = bands.BandOf(panel, column);
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

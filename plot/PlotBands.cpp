#include "PlotBands.h"

#include <algorithm>
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

    // A run of samples inside the stamp range, all in one column.
    void Take(int column, const std::uint64_t* stamps, const SampleRow* rows, std::size_t count) {
        if (column != m_current) Enter(column, stamps[0], rows[0]);
        Widen(rows, count);
        m_started = true;
        m_previousStamp = stamps[count - 1];
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

    // Infinite values and NaN are left out of the band, and end the line.
    void Widen(const SampleRow* rows, std::size_t count) {
        switch (m_panels) {
            case 1:
                return Widen<1>(rows, count);
            case 2:
                return Widen<2>(rows, count);
            default:
                return Widen<3>(rows, count);
        }
    }

    // For a panel count the compiler knows, so that the least and greatest values stay in
    // registers. NaN falls out of the comparisons; only a run an infinite value came into is
    // widened again, value by value checked.
    template <int Panels>
    void Widen(const SampleRow* rows, std::size_t count) {
        if (!WidenRun<Panels, false>(rows, count)) WidenRun<Panels, true>(rows, count);
        for (int panel = 0; panel < Panels; ++panel) {
            const double last = rows[count - 1].values[panel];
            m_previous[panel] = std::isfinite(last) ? last : NAN;
        }
    }

    // False, keeping nothing, where an unchecked run took in an infinite value.
    template <int Panels, bool Checked>
    bool WidenRun(const SampleRow* rows, std::size_t count) {
        double least[Panels], greatest[Panels];
        std::copy_n(m_least, Panels, least);
        std::copy_n(m_greatest, Panels, greatest);
        for (std::size_t i = 0; i < count; ++i) {
            for (int panel = 0; panel < Panels; ++panel) {
                const double value = rows[i].values[panel];
                const bool finite =
                    !Checked || std::fabs(value) <= std::numeric_limits<double>::max();
                least[panel] = finite && value < least[panel] ? value : least[panel];
                greatest[panel] = finite && value > greatest[panel] ? value : greatest[panel];
            }
        }
        for (int panel = 0; panel < Panels; ++panel) {
            if (least[panel] == -kInfinity || greatest[panel] == kInfinity) return false;
        }
        std::copy_n(least, Panels, m_least);
        std::copy_n(greatest, Panels, m_greatest);
        return true;
    }

    PlotBands& m_plot;
    Band* m_bands;
    int m_panels;
    int m_current;
    std::uint64_t m_previousStamp;
    bool m_started;
    double m_least[3] = {}, m_greatest[3] = {}, m_previous[3] = {};
};

// The least stamp whose column is at least column, for 0 < column < kColumns over a span: ColumnOf
// never decreases, so a search out from the estimate, then halving, finds it exactly.
std::uint64_t PlotBands::FirstStampOf(int column) const {
    std::uint64_t below = m_low, above = m_low + m_span;  // ColumnOf: below < column <= above
    const double estimate = column / m_columnsPerTick;
    const std::uint64_t guess = estimate < static_cast<double>(m_span)
                                    ? m_low + static_cast<std::uint64_t>(estimate)
                                    : above;
    const bool after = ColumnOf(guess) >= column;
    (after ? above : below) = guess;
    for (std::uint64_t step = 1; above - below > step; step *= 2) {
        const std::uint64_t probe = after ? above - step : below + step;
        if ((ColumnOf(probe) >= column) != after) {
            (after ? below : above) = probe;
            break;
        }
        (after ? above : below) = probe;
    }
    while (above - below > 1) {
        const std::uint64_t middle = below + (above - below) / 2;
        (ColumnOf(middle) >= column ? above : below) = middle;
    }
    return above;
}

void PlotBands::Add(const std::uint64_t* stamps, const SampleRow* rows, std::size_t count) {
    const auto inside = [&](std::size_t i) { return stamps[i] - m_low <= m_span; };  // wraps below
    Pass pass(*this);
    for (std::size_t begin = 0, end; begin < count; begin = end) {
        end = begin + 1;
        if (!inside(begin)) {
            m_missed = true;
            continue;
        }
        // Where the next sample falls in the column too, the run ends at the column's last stamp.
        const int column = ColumnOf(stamps[begin]);
        if (end < count && inside(end) && ColumnOf(stamps[end]) == column) {
            const std::uint64_t first = column > 0 && m_span ? FirstStampOf(column) : m_low;
            const std::uint64_t last =
                column < kColumns - 1 && m_span ? FirstStampOf(column + 1) - 1 : m_low + m_span;
            while (end < count && stamps[end] - first <= last - first) ++end;
        }
        pass.Take(column, stamps + begin, rows + begin, end - begin);
    }
    pass.Finish();
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

#pragma once

#include <string>
#include <vector>

#include "PlotBands.h"

// Where the panels stand in the picture, in pixels.
struct PlotLayout {
    static constexpr int kLeft = 100;       // the panels' first pixel column
    static constexpr int kFirstTop = 120;   // the first panel's first pixel row
    static constexpr int kPanelStep = 260;  // from one panel's top to the next one's
    static constexpr int kWidth = kLeft + PlotBands::kColumns + 30;
    static int Top(int panel) { return kFirstTop + panel * kPanelStep; }
};

// The picture as SVG text: the title lines (UTF-8) above one panel per value column, each with
// its bands, its lines where no gap breaks them, round ticks on both axes and the column's name.
std::string DrawPlotSvg(const PlotBands& bands, const PlotScales& scales,
                        const std::vector<std::string>& titleLines);

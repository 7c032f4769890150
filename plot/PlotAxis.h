#pragma once

#include <string>
#include <vector>

// An axis of the picture: its range and its ticks at round numbers (1, 2 or 5 times a power of
// ten), each with its label.
struct PlotAxis {
    double low = 0, high = 1;
    std::vector<double> ticks;
    std::vector<std::string> labels;

    // About `ticks` ticks over [low, high]. roundEnds widens the range to the ticks around it;
    // an empty range is widened around its value, and one of a few ulps around its middle to
    // the least width whose ticks doubles tell apart.
    PlotAxis(double low, double high, int ticks, bool roundEnds);

    // Where value lies: 0 at low, 1 at high; safe for ranges as wide as a double allows.
    double Fraction(double value) const { return (value / 2 - low / 2) / (high / 2 - low / 2); }
};

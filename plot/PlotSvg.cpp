#include "PlotSvg.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "ReportText.h"

namespace {

// Fonts a browser has for Chinese on each system, then whatever it has.
constexpr char kFonts[] =
    "'Microsoft YaHei', 'PingFang SC', 'Hiragino Sans GB', 'Noto Sans CJK SC', "
    "'Source Han Sans SC', 'WenQuanYi Micro Hei', SimHei, sans-serif";
constexpr char kInk[] = "#1f4e8c";
constexpr char kColumnNames[] = {'X', 'Y', 'Z'};

// A coordinate with one decimal at most.
std::string Px(double pixels) {
    // Whole and half pixels, nearly every coordinate, are exact: no rounding, no general
    // formatting.
    if (const double halves = pixels * 2;
        halves == std::floor(halves) && std::fabs(halves) < 1e15) {
        const auto whole = static_cast<long long>(std::fabs(halves));
        return (halves < 0 ? "-" : "") + std::to_string(whole / 2) + (whole % 2 ? ".5" : "");
    }
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, pixels, std::chars_format::fixed, 1);
    std::string shown(text, end.ptr);
    if (shown.ends_with(".0")) shown.resize(shown.size() - 2);
    return shown == "-0" ? "0" : shown;
}

std::string Text(double x, double y, const char* anchor, const std::string& text,
                 const std::string& attributes = "") {
    return "<text x=\"" + Px(x) + "\" y=\"" + Px(y) + "\" text-anchor=\"" + anchor + "\"" +
           attributes + ">" + XmlText(text) + "</text>\n";
}

// The font size of a panel's value labels, which end 6 pixels left of it: the picture's 12
// pixels, or less where the longest would not start 2 pixels inside the picture. Widths are
// bounded by the widest font that draws them, DejaVu Sans as sans-serif on Linux: digits 0.64 em,
// '+' 0.83 em, '.' and '-' less.
double ValueLabelSize(const std::vector<std::string>& labels) {
    double ems = 0;
    for (const std::string& label : labels) {
        double width = 0;
        for (const char c : label) width += c == '+' ? 0.83 : c == '.' || c == '-' ? 0.36 : 0.64;
        ems = std::max(ems, width);
    }
    return std::min(12.0, std::floor((PlotLayout::kLeft - 8) / ems * 10) / 10);  // as written
}

void DrawPanel(std::string& svg, const PlotBands& bands, const PlotScales& scales, int panel) {
    constexpr int kLeft = PlotLayout::kLeft, kColumns = PlotBands::kColumns;
    constexpr int kRows = PlotBands::kRows;
    const int top = PlotLayout::Top(panel);
    const PlotAxis& time = scales.time;
    const PlotAxis& values = scales.values[static_cast<std::size_t>(panel)];
    std::string grid, labels;
    for (std::size_t t = 0; t < time.ticks.size(); ++t) {
        const double x = kLeft + time.Fraction(time.ticks[t]) * kColumns;
        grid += "M" + Px(x) + " " + Px(top) + "v" + Px(kRows);
        labels += Text(x, top + kRows + 16, "middle", time.labels[t]);
    }
    const double size = ValueLabelSize(values.labels);
    const std::string smaller = size < 12 ? " font-size=\"" + Px(size) + "\"" : "";
    for (std::size_t t = 0; t < values.ticks.size(); ++t) {
        const double y = top + (1 - values.Fraction(values.ticks[t])) * kRows;
        grid += "M" + Px(kLeft) + " " + Px(y) + "h" + Px(kColumns);
        labels += Text(kLeft - 6, y + size / 3, "end", values.labels[t], smaller);
    }
    // Each band covers whole pixels; each joining line runs between pixel centres.
    std::string fill, lines;
    for (int column = 0; column < kColumns; ++column) {
        const PlotBands::Band& band = bands.BandOf(panel, column);
        if (band.min > band.max) continue;
        const int high = scales.RowOf(panel, band.max), low = scales.RowOf(panel, band.min);
        fill +=
            "M" + Px(kLeft + column) + " " + Px(top + high) + "h1v" + Px(low - high + 1) + "h-1z";
        if (scales.Joins(band)) {
            lines += "M" + Px(kLeft + band.joinedFrom + 0.5) + " " +
                     Px(top + scales.RowOf(panel, band.fromValue) + 0.5) + "L" +
                     Px(kLeft + column + 0.5) + " " +
                     Px(top + scales.RowOf(panel, band.toValue) + 0.5);
        }
    }
    svg += "<g>\n<path d=\"" + grid + "\" stroke=\"#dddddd\" fill=\"none\"/>\n";
    svg += "<rect x=\"" + Px(kLeft - 0.5) + "\" y=\"" + Px(top - 0.5) + "\" width=\"" +
           Px(kColumns + 1) + "\" height=\"" + Px(kRows + 1) +
           "\" fill=\"none\" stroke=\"#888888\"/>\n";
    svg += "<path d=\"" + fill + "\" fill=\"" + kInk + "\" shape-rendering=\"crispEdges\"/>\n";
    if (!lines.empty()) {
        svg += "<path d=\"" + lines + "\" stroke=\"" + kInk + "\" fill=\"none\"/>\n";
    }
    svg += labels;
    svg += Text(kLeft, top - 8, "start", std::string(1, kColumnNames[panel]));
    svg += Text(kLeft + kColumns, top + kRows + 34, "end", "Time(s)");
    svg += "</g>\n";
}

}  // namespace

std::string DrawPlotSvg(const PlotBands& bands, const PlotScales& scales,
                        const std::vector<std::string>& titleLines) {
    const int height = PlotLayout::Top(bands.Panels()) - 20;
    const std::string width = std::to_string(PlotLayout::kWidth);
    std::string svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    svg += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + width + "\" height=\"" +
           std::to_string(height) + "\" viewBox=\"0 0 " + width + " " + std::to_string(height) +
           "\" font-family=\"" + kFonts + "\" font-size=\"12\">\n";
    if (!titleLines.empty()) svg += "<title>" + XmlText(titleLines[0]) + "</title>\n";
    svg += "<rect width=\"100%\" height=\"100%\" fill=\"#ffffff\"/>\n<g font-size=\"15\">\n";
    for (std::size_t line = 0; line < titleLines.size(); ++line) {
        svg += Text(16, 26 + 20 * static_cast<double>(line), "start", titleLines[line]);
    }
    svg += "</g>\n";
    for (int panel = 0; panel < bands.Panels(); ++panel) DrawPanel(svg, bands, scales, panel);
    return svg + "</svg>\n";
}

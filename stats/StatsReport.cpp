#include "StatsReport.h"

#include <cmath>

#include "ReportText.h"

namespace {

constexpr const char* kColumnNames[] = {"X", "Y", "Z"};

std::string Six(double value) {
    return NumberWithDigits(value, 6);
}

std::string Number(double value) {
    return std::isfinite(value) ? ShortestNumber(value) : "null";
}

std::string Integer(std::uint64_t value) {
    return std::to_string(value);
}

// "at sample 7 (0.56 s)": a sample by its index and its time.
std::string SampleAt(const RecordingStats& stats, std::uint64_t index, std::uint64_t stamp) {
    return "at sample " + Integer(index) + " (" + Six(stats.TimeOf(stamp)) + " s)";
}

std::string Events(const RecordingStats& stats, const StepEvents& events) {
    if (events.count == 0) return "none\n";
    return Integer(events.count) + ", the first " +
           SampleAt(stats, events.firstAt, events.firstStamp) + "\n";
}

std::string JsonEvents(const StepEvents& events) {
    return "{\"count\":" + Integer(events.count) +
           ",\"first_at\":" + (events.count ? Integer(events.firstAt) : "null") + "}";
}

double MeanRate(const RecordingStats& stats) {
    const double duration = stats.DurationSeconds();
    return duration > 0 ? static_cast<double>(stats.samples - 1) / duration : NAN;
}

double NominalRate(const RecordingStats& stats) {
    const std::uint64_t median = stats.MedianStep();
    return median ? 1 / stats.Seconds(median) : NAN;
}

}  // namespace

std::string FormatStatsText(const std::string& name, const std::string& header,
                            const RecordingStats& stats) {
    const std::string unit = StampUnit(stats.format);
    const auto step = [&](std::uint64_t ticks) {
        return Integer(ticks) + " " + unit + " (" + Six(stats.Seconds(ticks)) + " s)";
    };
    // Past StepCounts::kExactSteps distinct steps the median, and what follows from it, is
    // approximate.
    const std::string about = stats.steps.Exact() ? "" : "about ";
    std::string text = name + "\n";
    text += "  header    " + header + "\n";
    text += "  samples   " + Integer(stats.samples) + "\n";
    text += "  duration  " + Six(stats.DurationSeconds()) + " s\n";
    text += "  stamps    first " + Integer(stats.firstStamp) + " " + unit + ", last " +
            Integer(stats.lastStamp) + " " + unit + "\n";
    if (stats.maxStep == 0) {
        text += "  steps     none forward\n";
    } else {
        text += "  steps     min " + step(stats.minStep) + ", median " + about +
                step(stats.MedianStep()) + ", max " + step(stats.maxStep) + "\n";
        if (!stats.steps.Exact()) {
            text += "            (about: approximate, with more than " +
                    Integer(StepCounts::kExactSteps) + " distinct steps)\n";
        }
        text += "  rate      nominal " + about + Six(NominalRate(stats)) + " Hz, mean " +
                Six(MeanRate(stats)) + " Hz\n";
    }
    const std::uint64_t gaps = stats.GapCount();
    text += "  gaps      ";
    if (gaps == 0 && about.empty()) {
        text += "none\n";
    } else {
        text += about + Integer(gaps) + " longer than 1.5 × median";
        if (gaps) {
            text += ", the longest " + Six(stats.Seconds(stats.maxStep)) + " s ending " +
                    SampleAt(stats, stats.maxStepAt, stats.maxStepStamp);
        }
        text += "\n";
    }
    text += "  backward  " + Events(stats, stats.backward);
    text += "  repeated  " + Events(stats, stats.repeated);
    for (int c = 0; c < stats.format.columnCount && c < 3; ++c) {
        const ColumnFigures& column = stats.columns[c];
        text += std::string("  ") + kColumnNames[c] + "         ";
        if (column.finite == 0) {
            text += "no finite values";
        } else {
            text += "min " + Six(column.min) + ", max " + Six(column.max) + ", mean " +
                    Six(column.mean) + ", std " + Six(column.Std());
        }
        text += ", NaN " + Integer(column.nan) + ", infinite " + Integer(column.infinite) + "\n";
    }
    return text;
}

std::string FormatStatsJson(const std::string& name, const std::string& header,
                            const RecordingStats& stats) {
    const bool forward = stats.maxStep != 0;
    const auto step = [&](std::uint64_t ticks) { return forward ? Integer(ticks) : "null"; };
    const std::uint64_t gaps = stats.GapCount();
    const std::string exact = std::string(",\"exact\":") + (stats.steps.Exact() ? "true" : "false");
    std::string json = "{\"recording\":" + JsonString(name) + ",\"header\":" + JsonString(header);
    json += ",\"unit\":\"" + std::string(StampUnit(stats.format)) + "\"";
    json += ",\"samples\":" + Integer(stats.samples);
    json += ",\"first_stamp\":" + Integer(stats.firstStamp);
    json += ",\"last_stamp\":" + Integer(stats.lastStamp);
    json += ",\"duration_s\":" + Number(stats.DurationSeconds());
    json += ",\"step\":{\"min\":" + step(stats.minStep) +
            ",\"median\":" + step(stats.MedianStep()) + ",\"max\":" + step(stats.maxStep) + exact +
            "}";
    json += ",\"rate_hz\":{\"nominal\":" + Number(NominalRate(stats)) +
            ",\"mean\":" + Number(MeanRate(stats)) + exact + "}";
    json += ",\"gaps\":{\"count\":" + Integer(gaps) +
            ",\"longest_s\":" + (gaps ? Number(stats.Seconds(stats.maxStep)) : "null") +
            ",\"longest_at\":" + (gaps ? Integer(stats.maxStepAt) : "null") + exact + "}";
    json += ",\"backward\":" + JsonEvents(stats.backward);
    json += ",\"repeated\":" + JsonEvents(stats.repeated);
    json += ",\"columns\":[";
    for (int c = 0; c < stats.format.columnCount && c < 3; ++c) {
        const ColumnFigures& column = stats.columns[c];
        // Over the finite values: none, no figures.
        const auto figure = [&](double value) { return column.finite ? Number(value) : "null"; };
        json += std::string(c ? "," : "") + "{\"name\":\"" + kColumnNames[c] +
                "\",\"min\":" + figure(column.min) + ",\"max\":" + figure(column.max) +
                ",\"mean\":" + figure(column.mean) + ",\"std\":" + figure(column.Std()) +
                ",\"nan\":" + Integer(column.nan) + ",\"inf\":" + Integer(column.infinite) + "}";
    }
    return json + "]}\n";
}

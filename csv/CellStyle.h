#pragma once

// How number cells are written: the dialog's six significant digits, a chosen number of
// significant digits (1 to 17) in the same style, or the fewest digits that read back exactly.
struct CellStyle {
    enum class Kind { SixDigits, Digits, RoundTrip };
    Kind kind = Kind::SixDigits;
    int digits = 6;  // used by Digits only

    static CellStyle WithDigits(int significantDigits) { return {Kind::Digits, significantDigits}; }
    static CellStyle RoundTrip() { return {Kind::RoundTrip, 0}; }

    bool operator==(const CellStyle&) const = default;
};

#pragma once

#include <cstddef>

// The baselines' own widening, kept apart from the product's code that they are measured
// against: the C library prints at least two exponent digits, the cells at least three.
inline std::size_t WidenExponent(char* text, std::size_t length) {
    if (length >= 4 && text[length - 4] == 'e') {
        text[length] = text[length - 1];
        text[length - 1] = text[length - 2];
        text[length - 2] = '0';
        ++length;
    }
    return length;
}

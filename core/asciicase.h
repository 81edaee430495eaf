#pragma once
#include <array>
#include <cstddef>

// Case folding that needs no encoding: only 'a'-'z' and 'A'-'Z' change. Header-only, so the mask
// matcher and the search use it without linking anything.

/// The capital of an ASCII letter; every other byte as it is.
constexpr unsigned char AsciiUpper(unsigned char b)
{
    return b >= 'a' && b <= 'z' ? static_cast<unsigned char>(b - ('a' - 'A')) : b;
}

/// The small letter of an ASCII capital; every other byte as it is.
constexpr unsigned char AsciiLower(unsigned char b)
{
    return b >= 'A' && b <= 'Z' ? static_cast<unsigned char>(b + ('a' - 'A')) : b;
}

/// AsciiUpper() of every byte, for loops that fold through a byte table.
inline constexpr std::array<unsigned char, 256> AsciiUpperTable = [] {
    std::array<unsigned char, 256> t{};
    for (int b = 0; b < 256; ++b)
        t[static_cast<std::size_t>(b)] = AsciiUpper(static_cast<unsigned char>(b));
    return t;
}();

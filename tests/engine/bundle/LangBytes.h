#pragma once
// The bytes of JOSM's language files, written by hand in tests: big-endian lengths in front of
// each text.

#include <string>

namespace cltest {

inline std::string U1(unsigned value)
{
    return std::string(1, static_cast<char>(value));
}
inline std::string U2(unsigned value)
{
    return U1(value >> 8) + U1(value & 0xFF);
}
// A text with its length in front.
inline std::string T(const std::string& text)
{
    return U2(static_cast<unsigned>(text.size())) + text;
}

}  // namespace cltest

#pragma once
// The classifier's two tests on a byte view, so the scans can classify candidates without
// copying them first.

#include "text/ByteWords.h"
#include "scan/FilterList.h"

#include <string_view>

namespace cl::detail {

bool IsInFilter(std::string_view candidate, const FilterList& filter) noexcept;

// In the header: the scans ask it of every candidate, and a call costs about as much as the test.
CL_ALWAYS_INLINE bool IsListable(std::string_view s) noexcept
{
    const size_t n = s.size();
    if (n < 2)
        return false;
    // Eight bytes at a time: whether any is a control byte, and whether any is a '/' or a '>'.
    // Each banned name holds one of those two, so strings without either (nearly all of them)
    // need no search for the names.
    using namespace bytewords;
    uint64_t control = 0;
    uint64_t slashOrAngle = 0;
    ForEachWord(s.data(), n, [&](uint64_t x) {
        control |= BytesBelow(x, 9);
        slashOrAngle |= BytesEqual(x, '/') | BytesEqual(x, '>');
    });
    if (control != 0)
        return false;
    if (s[0] == '(')  // method descriptors
        return false;
    if (slashOrAngle != 0) {
        for (const std::string_view banned : {"B/s", "java/", "javax/", "init>"}) {
            if (s.find(banned) != std::string_view::npos)
                return false;
        }
    }
    if (n == 3 && s[0] == 'L' && s[2] == ';')
        return false;
    if (n == 2 && s[0] == '[')
        return false;
    return s != "StackMap";
}

}  // namespace cl::detail

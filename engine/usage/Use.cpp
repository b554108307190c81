#include "usage/Use.h"

namespace cl::usage {

namespace {
constexpr const char* kWords[kUseCount] = {"ui",  "message", "format", "log",    "key",
                                           "name", "pattern", "data",   "unknown"};
}

const char* UseWord(Use use) noexcept
{
    const auto i = static_cast<unsigned>(use);
    return i < kUseCount ? kWords[i] : "unknown";
}

std::optional<Use> UseFromWord(std::string_view word) noexcept
{
    for (int i = 0; i < kUseCount; ++i) {
        if (word == kWords[i])
            return static_cast<Use>(i);
    }
    return std::nullopt;
}

const char* FormatStyleWord(FormatStyle style) noexcept
{
    switch (style) {
        case FormatStyle::None: return "";
        case FormatStyle::Printf: return "printf";
        case FormatStyle::MessageFormat: return "messageformat";
    }
    return "";
}

}  // namespace cl::usage

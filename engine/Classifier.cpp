#include "Classifier.h"

#include "ClassifierDetail.h"

#include <string_view>

namespace cl {

namespace detail {

bool IsListable(std::string_view s) noexcept
{
    const size_t n = s.size();
    if (n < 2)
        return false;
    // One pass over the bytes: a control byte ends it, and each banned name holds a '/' or a
    // '>', so strings without either (nearly all of them) need no search for the names.
    bool slashOrAngle = false;
    for (const char ch : s) {
        const auto b = static_cast<uint8_t>(ch);
        if (b <= 8)
            return false;
        slashOrAngle |= (b == '/') | (b == '>');
    }
    if (s[0] == '(')  // method descriptors
        return false;
    if (slashOrAngle) {
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

bool IsInFilter(std::string_view s, const FilterList& filter) noexcept
{
    for (const ByteString& entry : filter) {
        if (entry.View() == s)
            return true;
    }
    return false;
}

}  // namespace detail

Classification ClassifyString(const ByteString& candidate, const FilterList& filter)
{
    const std::string_view s = candidate.View();
    if (!detail::IsListable(s))
        return Classification::NotListed;
    return detail::IsInFilter(s, filter) ? Classification::Suspicious : Classification::Plain;
}

}  // namespace cl

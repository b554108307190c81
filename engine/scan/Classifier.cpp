#include "scan/Classifier.h"

#include "text/ByteWords.h"
#include "scan/ClassifierDetail.h"

#include <cstdint>
#include <string_view>

namespace cl {

namespace detail {

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

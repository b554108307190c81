#pragma once
// The classifier's two tests on a byte view, so the scans can classify candidates without
// copying them first.

#include "FilterList.h"

#include <string_view>

namespace cl::detail {

bool IsListable(std::string_view candidate) noexcept;
bool IsInFilter(std::string_view candidate, const FilterList& filter) noexcept;

}  // namespace cl::detail

#pragma once
// The error of an engine operation that failed, as an optional, for tests that look into it:
// empty when the operation worked.

#include "errors/Result.h"

#include <optional>

namespace cltest {

inline std::optional<cl::Error> ErrorOf(const cl::Status& status)
{
    if (status)
        return std::nullopt;
    return status.error();
}

template <typename T>
std::optional<cl::Error> ErrorOf(const cl::Result<T>& result)
{
    if (result)
        return std::nullopt;
    return result.error();
}

}  // namespace cltest

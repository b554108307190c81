#pragma once
// The errors that escape engine operations and reach the program's top-level error display.

#include <stdexcept>

namespace cl {

// Byte access outside a value: "Range check error". The scanner raises it on ordinary input
// (a file whose last bytes cut a pattern short), so callers treat it as an orderly error.
class RangeError : public std::runtime_error {
public:
    RangeError() : std::runtime_error("Range check error") {}
};

// Storage for a value could not be obtained: "Out of memory". The value keeps its contents.
class OutOfMemory : public std::runtime_error {
public:
    OutOfMemory() : std::runtime_error("Out of memory") {}
};

}  // namespace cl

#pragma once
// The two faults a ByteString raises: byte access outside the value, and storage that could not
// be had. Neither is bad input: ordinary input never reaches them, the engine's operations
// return an Error instead. They reach the program's top-level error display, which words them
// (texts/EngineText.h).

#include <exception>

namespace cl {

// Byte access outside a value.
class RangeError : public std::exception {
public:
    const char* what() const noexcept override { return "cl::RangeError"; }
};

// Storage for a value could not be obtained. The value keeps its contents.
class OutOfMemory : public std::exception {
public:
    const char* what() const noexcept override { return "cl::OutOfMemory"; }
};

}  // namespace cl

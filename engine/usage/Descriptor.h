#pragma once
// Method and field descriptors as the data-flow needs them: how many operand-stack words each
// parameter takes (two for long and double) and whether a value of the type can be a string.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

namespace cl::usage {

struct ParameterShape {
    uint8_t words = 1;         // 1, or 2 for J and D
    bool reference = false;    // an object or array
    bool mayBeString = false;  // String, Object, CharSequence... or an array of them
};

struct MethodShape {
    bool valid = false;
    std::vector<ParameterShape> parameters;  // in declaration order, without the receiver
    uint32_t parameterWords = 0;
    uint8_t returnWords = 0;  // 0 for void
    bool returnsReference = false;
    bool returnMayBeString = false;
};

// False for a type that cannot hold a java.lang.String (a primitive, or a class type other
// than String and its supertypes). `type` is one field descriptor.
bool MayBeString(std::string_view type) noexcept;

// The length of the field descriptor at `at` of `text`; 0 when there is none. Inline: it is read
// for every parameter of every call the data-flow meets.
[[gnu::always_inline]] inline size_t FieldTypeLength(std::string_view text, size_t at) noexcept
{
    size_t i = at;
    while (i < text.size() && text[i] == '[')
        ++i;
    if (i >= text.size())
        return 0;
    switch (text[i]) {
        case 'B':
        case 'C':
        case 'D':
        case 'F':
        case 'I':
        case 'J':
        case 'S':
        case 'Z': return i + 1 - at;
        case 'L': {
            const void* end = std::memchr(text.data() + i, ';', text.size() - i);
            if (end == nullptr)
                return 0;
            const auto semicolon = static_cast<size_t>(static_cast<const char*>(end) - text.data());
            return semicolon == i + 1 ? 0 : semicolon + 1 - at;
        }
        default: return 0;
    }
}

// Parses "(...)R"; `valid` false when it is not a method descriptor.
void ParseMethodDescriptor(std::string_view descriptor, MethodShape& shape);

// Words a field of this descriptor takes: 2 for J and D, else 1.
inline uint8_t FieldWords(std::string_view descriptor) noexcept
{
    return !descriptor.empty() && (descriptor[0] == 'J' || descriptor[0] == 'D') ? 2 : 1;
}

}  // namespace cl::usage

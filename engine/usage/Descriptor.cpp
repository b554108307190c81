#include "usage/Descriptor.h"

namespace cl::usage {

bool MayBeString(std::string_view type) noexcept
{
    while (!type.empty() && type[0] == '[')
        type.remove_prefix(1);
    return type == "Ljava/lang/String;" || type == "Ljava/lang/Object;" || type == "Ljava/lang/CharSequence;" ||
           type == "Ljava/lang/Comparable;" || type == "Ljava/io/Serializable;" ||
           type == "Ljava/lang/constant/Constable;" || type == "Ljava/lang/constant/ConstantDesc;";
}

namespace {

// The length of the field descriptor at the start of `text`, or 0 when there is none.
size_t TypeLength(std::string_view text) noexcept
{
    size_t i = 0;
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
        case 'Z': return i + 1;
        case 'L': {
            const size_t end = text.find(';', i);
            return end == std::string_view::npos || end == i + 1 ? 0 : end + 1;
        }
        default: return 0;
    }
}

ParameterShape ShapeOf(std::string_view type) noexcept
{
    ParameterShape shape;
    shape.reference = type[0] == 'L' || type[0] == '[';
    shape.words = type == "J" || type == "D" ? 2 : 1;
    shape.mayBeString = shape.reference && MayBeString(type);
    return shape;
}

}  // namespace

void ParseMethodDescriptor(std::string_view descriptor, MethodShape& shape)
{
    shape.valid = false;
    shape.parameters.clear();
    shape.parameterWords = 0;
    shape.returnWords = 0;
    shape.returnsReference = false;
    shape.returnMayBeString = false;
    if (descriptor.empty() || descriptor[0] != '(')
        return;
    std::string_view rest = descriptor.substr(1);
    while (!rest.empty() && rest[0] != ')') {
        const size_t length = TypeLength(rest);
        if (length == 0)
            return;
        const ParameterShape p = ShapeOf(rest.substr(0, length));
        shape.parameters.push_back(p);
        shape.parameterWords += p.words;
        rest.remove_prefix(length);
    }
    if (rest.empty())
        return;
    rest.remove_prefix(1);
    if (rest == "V") {
        shape.valid = true;
        return;
    }
    if (TypeLength(rest) != rest.size())
        return;
    const ParameterShape r = ShapeOf(rest);
    shape.returnWords = r.words;
    shape.returnsReference = r.reference;
    shape.returnMayBeString = r.mayBeString;
    shape.valid = true;
}

}  // namespace cl::usage

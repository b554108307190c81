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

[[gnu::always_inline]] inline ParameterShape ShapeOf(std::string_view type) noexcept
{
    ParameterShape shape;
    shape.reference = type[0] == 'L' || type[0] == '[';
    shape.words = type.size() == 1 && (type[0] == 'J' || type[0] == 'D') ? 2 : 1;
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
    size_t at = 1;
    while (at < descriptor.size() && descriptor[at] != ')') {
        const size_t length = FieldTypeLength(descriptor, at);
        if (length == 0)
            return;
        const ParameterShape p = ShapeOf(descriptor.substr(at, length));
        shape.parameters.push_back(p);
        shape.parameterWords += p.words;
        at += length;
    }
    if (at >= descriptor.size())
        return;
    ++at;
    const std::string_view rest = descriptor.substr(at);
    if (rest == "V") {
        shape.valid = true;
        return;
    }
    if (rest.empty() || FieldTypeLength(descriptor, at) != rest.size())
        return;
    const ParameterShape r = ShapeOf(rest);
    shape.returnWords = r.words;
    shape.returnsReference = r.reference;
    shape.returnMayBeString = r.mayBeString;
    shape.valid = true;
}

}  // namespace cl::usage

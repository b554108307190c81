#include "classfile/ConcatRecipes.h"

#include <algorithm>

namespace cl::classfile {

std::vector<uint16_t> ConcatRecipes(const ClassFile& cf)
{
    std::vector<uint16_t> recipes;
    for (const BootstrapMethod& method : cf.bootstrapMethods) {
        const auto member = cf.MethodHandleMember(method.methodHandleIndex);
        if (!member || member->className != "java/lang/invoke/StringConcatFactory" ||
            member->name != "makeConcatWithConstants")
            continue;
        const auto arguments = cf.Arguments(method);
        if (!arguments.empty() && cf.At(arguments[0], Tag::String) != nullptr)
            recipes.push_back(arguments[0]);
    }
    std::sort(recipes.begin(), recipes.end());
    recipes.erase(std::unique(recipes.begin(), recipes.end()), recipes.end());
    return recipes;
}

}  // namespace cl::classfile

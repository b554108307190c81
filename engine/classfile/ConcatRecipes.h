#pragma once
// The string-concatenation recipes of a class: javac compiles "Found " + n + " files" to an
// invokedynamic whose bootstrap, StringConcatFactory.makeConcatWithConstants, takes the recipe
// as its first static argument, a CONSTANT_String in which U+0001 stands for each value.

#include "classfile/ClassFile.h"

#include <cstdint>
#include <vector>

namespace cl::classfile {

// The CONSTANT_String indices that are recipes, sorted, each once.
std::vector<uint16_t> ConcatRecipes(const ClassFile& cf);

}  // namespace cl::classfile

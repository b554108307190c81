#pragma once
// The work done on each class on its own (on every core, while its bytes are at hand): its
// facts for the program-wide step. Nothing of the class file is kept.

#include "classfile/ClassFile.h"
#include "usage/ClassFacts.h"

namespace cl::usage {

// The facts of one class; `parsed` false (and nothing else) for a class that did not parse.
ClassFacts AnalyseClass(const classfile::ClassFile& classFile);

}  // namespace cl::usage

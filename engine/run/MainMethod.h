#pragma once
// Whether a class can start a program: it declares `public static void main(String[])` (also
// written `String...`), the method the launcher looks for when it is named on the command line.

#include "classfile/ClassFile.h"

namespace cl::run {

bool HasMainMethod(const classfile::ClassFile& cf);

}  // namespace cl::run

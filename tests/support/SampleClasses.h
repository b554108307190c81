#pragma once
// Hand-made class files that more than one suite opens.

#include "ClassFileBuilder.h"

#include <string>

namespace cltest {

// A class that parses, with a row of each kind a translator meets: a literal ("Hello, world"),
// a text that is both a string constant and a field's name ("count"), a long constant whose
// bytes happen to look like a Utf8 entry ("ABC", a false match) and the class's own name
// ("Sample").
inline std::string ClassWithEveryRowKind()
{
    cl::testing::ClassFileBuilder b;
    b.String("Hello, world");
    b.String("count");
    b.Long(0x0100034142430000);  // 01 00 03 "ABC"
    b.Field("count", "I");
    const std::vector<uint8_t> bytes = b.Build();
    return std::string(bytes.begin(), bytes.end());
}

}  // namespace cltest

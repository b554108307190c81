#include "run/MainMethod.h"

namespace cl::run {

namespace {

constexpr uint16_t kPublic = 0x0001;
constexpr uint16_t kStatic = 0x0008;

}  // namespace

bool HasMainMethod(const classfile::ClassFile& cf)
{
    if (!cf.parsed)
        return false;
    for (const classfile::Member& method : cf.methods) {
        if ((method.accessFlags & (kPublic | kStatic)) != (kPublic | kStatic))
            continue;
        if (cf.Utf8Bytes(method.nameIndex) == "main" &&
            cf.Utf8Bytes(method.descriptorIndex) == "([Ljava/lang/String;)V")
            return true;
    }
    return false;
}

}  // namespace cl::run

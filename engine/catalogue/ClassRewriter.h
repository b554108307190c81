#pragma once
// Rewrites the constant pool of a parsed class with new texts and copies everything after the
// pool verbatim: nothing after the pool refers to a byte offset inside it, only to indices,
// and no index changes. Only where some methods' loads of a constant take a new one is the
// code of those methods changed.

#include "classfile/ClassFile.h"
#include "errors/TranslationProblem.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace cl::catalogue {

struct PoolEdits {
    // CONSTANT_Utf8 index -> its new text (modified UTF-8), changed where it stands.
    std::map<uint16_t, std::string> utf8;
    // CONSTANT_String index -> the text of a new CONSTANT_Utf8 appended to the pool for it
    // alone, so that a name or descriptor sharing its old text keeps it.
    std::map<uint16_t, std::string> detached;
    // CONSTANT_String index -> a text that only the loads in `methods` (indexes into the class's
    // methods) take: a new CONSTANT_Utf8 and CONSTANT_String are appended for it and those loads
    // load the new one, while every other use of the old entry keeps it.
    struct Redirect {
        std::vector<uint16_t> methods;
        std::string text;
    };
    std::map<uint16_t, Redirect> redirected;
};

// The new class, or why it cannot be made: TooLong (a text passes 65535 bytes of modified
// UTF-8), PoolTooLarge, NotReparsed (the result does not parse again), or CodeNotRelaid (a
// method whose loads take a new constant cannot be laid out again around a longer load).
struct RewriteResult {
    TranslationProblem problem = TranslationProblem::None;
    uint16_t index = 0;  // the entry of a TooLong
    std::string bytes;
};

RewriteResult RewriteClass(const classfile::ClassFile& classFile, const PoolEdits& edits);

}  // namespace cl::catalogue

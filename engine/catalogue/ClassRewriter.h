#pragma once
// Rewrites the constant pool of a parsed class with new texts and copies everything after the
// pool verbatim: nothing after the pool refers to a byte offset inside it, only to indices,
// and no index changes.

#include "classfile/ClassFile.h"
#include "errors/TranslationProblem.h"

#include <cstdint>
#include <map>
#include <string>

namespace cl::catalogue {

struct PoolEdits {
    // CONSTANT_Utf8 index -> its new text (modified UTF-8), changed where it stands.
    std::map<uint16_t, std::string> utf8;
    // CONSTANT_String index -> the text of a new CONSTANT_Utf8 appended to the pool for it
    // alone, so that a name or descriptor sharing its old text keeps it.
    std::map<uint16_t, std::string> detached;
};

// The new class, or why it cannot be made: TooLong (a text passes 65535 bytes of modified
// UTF-8), PoolTooLarge, or NotReparsed (the result does not parse again).
struct RewriteResult {
    TranslationProblem problem = TranslationProblem::None;
    uint16_t index = 0;  // the entry of a TooLong
    std::string bytes;
};

RewriteResult RewriteClass(const classfile::ClassFile& classFile, const PoolEdits& edits);

}  // namespace cl::catalogue

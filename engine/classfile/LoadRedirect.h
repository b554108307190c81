#pragma once
// Pointing chosen string loads at another CONSTANT_String: the same text can be shown by one
// method of a class and read by another, and both load one constant. To translate it only where
// it is shown, a new entry is appended to the pool and the loads of the showing methods are
// changed to load it. This file changes the loads; the pool is the caller's.
//
// An ldc has a one-byte operand. When the new index does not fit it, the load becomes ldc_w,
// one byte longer, and everything in the method's Code that names a code offset moves with it:
// branches, switches (whose padding follows their new offset), the exception table, the line
// and local variable tables, the stack map frames and the type annotations of the code.

#include "classfile/ClassFile.h"

#include <cstdint>
#include <span>
#include <string>

namespace cl::classfile {

struct LoadRedirect {
    uint16_t method = 0;      // index into ClassFile::methods
    uint16_t fromString = 0;  // a CONSTANT_String of the class
    // The CONSTANT_String the loads of `fromString` in `method` load instead: any index 1..65534,
    // also one the caller appends behind the parsed pool.
    uint16_t toString = 0;
};

// Why the loads could not be changed. The class is then left to the caller as it was.
enum class RedirectFault : uint8_t {
    None,
    NotParsed,             // the class did not parse
    BadRedirect,           // no such method, `fromString` is no CONSTANT_String, `toString` is 0 or
                           // 65535, or one load is sent to two different entries
    UnknownCodeAttribute,  // a Code to lay out again holds an attribute this file does not know,
                           // which may hold code offsets that would then be wrong
    BadCodeOffset,         // a branch, switch, handler or frame at an offset where no instruction
                           // starts, or an offset past the code
    MalformedCode,         // an instruction or a Code attribute that cannot be read whole
    BranchOutOfRange,      // a two-byte branch offset would no longer fit
    CodeTooLong,           // the code would pass 65535 bytes
};

// Short English token for logs and the command line: "unknown-code-attribute", ...
const char* RedirectFaultWord(RedirectFault fault) noexcept;

struct RedirectedLoads {
    RedirectFault fault = RedirectFault::None;
    uint16_t method = 0;  // the method whose Code failed
    size_t offset = 0;    // 0-based offset in the class of what failed (an instruction, an attribute)
    // The class from `poolEnd` to its end (access_flags onwards) with the loads changed: it goes
    // behind the caller's pool. Empty on failure.
    std::string tail;

    bool ok() const noexcept { return fault == RedirectFault::None; }
};

// Every ldc and ldc_w of `fromString` in each listed method loads `toString` instead. An ldc
// keeps its form where the new index fits one byte; otherwise it becomes ldc_w and the method's
// Code is laid out again. A method not listed, and every byte outside a changed Code, is copied
// as it is. ldc2_w never loads a string and is left alone.
RedirectedLoads RedirectLoads(const ClassFile& cf, std::span<const LoadRedirect> redirects);

}  // namespace cl::classfile

#include "classfile/LoadRedirect.h"

#include "classfile/ByteReader.h"
#include "classfile/Bytecode.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

namespace cl::classfile {

const char* RedirectFaultWord(RedirectFault fault) noexcept
{
    switch (fault) {
        case RedirectFault::None: return "ok";
        case RedirectFault::NotParsed: return "not-parsed";
        case RedirectFault::BadRedirect: return "bad-redirect";
        case RedirectFault::UnknownCodeAttribute: return "unknown-code-attribute";
        case RedirectFault::BadCodeOffset: return "bad-code-offset";
        case RedirectFault::MalformedCode: return "malformed-code";
        case RedirectFault::BranchOutOfRange: return "branch-out-of-range";
        case RedirectFault::CodeTooLong: return "code-too-long";
    }
    return "unknown";
}

namespace {

constexpr uint8_t kLdc = 0x12;
constexpr uint8_t kLdcW = 0x13;
constexpr uint32_t kMaxCodeLength = 65535;
// Annotation values nest a few levels in real classes; the limit keeps a hostile one from
// exhausting the stack (the parser has the same).
constexpr int kMaxNesting = 256;

void PutU1(std::string& out, uint32_t v)
{
    out += static_cast<char>(v & 0xFF);
}
void PutU2(std::string& out, uint32_t v)
{
    PutU1(out, v >> 8);
    PutU1(out, v);
}
void PutU4(std::string& out, uint32_t v)
{
    PutU2(out, v >> 16);
    PutU2(out, v);
}
void SetU4(std::string& out, size_t at, uint32_t v)
{
    out[at] = static_cast<char>((v >> 24) & 0xFF);
    out[at + 1] = static_cast<char>((v >> 16) & 0xFF);
    out[at + 2] = static_cast<char>((v >> 8) & 0xFF);
    out[at + 3] = static_cast<char>(v & 0xFF);
}

bool IsShortBranch(uint8_t op)
{
    return (op >= 0x99 && op <= 0xA8) || op == 0xC6 || op == 0xC7;  // if*, goto, jsr, ifnull, ifnonnull
}
bool IsLongBranch(uint8_t op)
{
    return op == 0xC8 || op == 0xC9;  // goto_w, jsr_w
}

// The attributes of Code whose offsets are carried over; any other may hold offsets too, and
// copying it unchanged could leave them pointing into the middle of moved instructions.
enum class CodeAttr : uint8_t { Unknown, LineNumbers, LocalVariables, StackMap, TypeAnnotations };

CodeAttr CodeAttrOf(std::string_view name)
{
    if (name == "LineNumberTable")
        return CodeAttr::LineNumbers;
    if (name == "LocalVariableTable" || name == "LocalVariableTypeTable")
        return CodeAttr::LocalVariables;
    if (name == "StackMapTable")
        return CodeAttr::StackMap;
    if (name == "RuntimeVisibleTypeAnnotations" || name == "RuntimeInvisibleTypeAnnotations")
        return CodeAttr::TypeAnnotations;
    return CodeAttr::Unknown;
}

// One Code attribute laid out again: every instruction at its new offset, and every table of
// the attribute with its offsets moved along.
class Relayout {
public:
    Relayout(const ClassFile& cf, const CodeInfo& code, std::span<const LoadRedirect> targets)
        : cf_(cf), info_(code), targets_(targets), code_(cf.bytes.data() + code.codeOffset), length_(code.codeLength)
    {
    }

    RedirectFault fault = RedirectFault::None;
    size_t faultOffset = 0;

    // The whole new attribute, from its name index to its end, for the old bytes [start, end).
    bool Run(size_t start, size_t end, std::string& out)
    {
        if (!Lay())
            return false;
        const uint8_t* bytes = cf_.bytes.data();
        out.append(reinterpret_cast<const char*>(bytes + start), 2);  // attribute_name_index
        const size_t lengthAt = out.size();
        PutU4(out, 0);
        out.append(reinterpret_cast<const char*>(bytes + info_.codeOffset - 8), 4);  // max_stack, max_locals
        PutU4(out, newLength_);
        const size_t codeAt = out.size();
        if (!EmitCode(out))
            return false;
        if (out.size() - codeAt != newLength_)
            return Fail(RedirectFault::MalformedCode, info_.codeOffset);

        ByteReader r(bytes, end);
        r.Skip(size_t{info_.codeOffset} + length_);
        if (!Handlers(r, out) || !Attributes(r, out))
            return false;
        if (r.Position() != end)
            return Fail(RedirectFault::MalformedCode, r.Position());
        const size_t attributeLength = out.size() - lengthAt - 4;
        if (attributeLength > std::numeric_limits<uint32_t>::max())
            return Fail(RedirectFault::CodeTooLong, start);
        SetU4(out, lengthAt, static_cast<uint32_t>(attributeLength));
        return true;
    }

private:
    bool Fail(RedirectFault why, size_t offset)
    {
        if (fault == RedirectFault::None) {
            fault = why;
            faultOffset = offset;
        }
        return false;
    }

    // The entry the loads of `from` go to; 0 when they stay.
    uint16_t Target(uint16_t from) const
    {
        for (const LoadRedirect& r : targets_) {
            if (r.fromString == from)
                return r.toString;
        }
        return 0;
    }

    // ---- Offsets

    // Finds every instruction and its new offset. One pass is exact: only an ldc grows, and a
    // switch's padding depends on nothing but its own new offset, which the instructions
    // before it have fixed by then.
    bool Lay()
    {
        uint32_t pc = 0;
        while (pc < length_) {
            uint32_t step = 0;
            if (bytecode::InstructionLength(code_, length_, pc, step) != bytecode::Fault::None)
                return Fail(RedirectFault::MalformedCode, info_.codeOffset + pc);
            starts_.push_back(pc);
            pc += step;
        }
        newAt_.assign(size_t{length_} + 1, 0);
        isStart_.assign(size_t{length_} + 1, 0);
        uint32_t next = 0;
        for (size_t k = 0; k < starts_.size(); ++k) {
            const uint32_t at = starts_[k];
            const uint32_t oldLength = (k + 1 < starts_.size() ? starts_[k + 1] : length_) - at;
            const uint8_t op = code_[at];
            uint32_t newLength = oldLength;
            if (op == kLdc && Target(code_[at + 1]) > 0xFF)
                newLength = 3;  // becomes ldc_w
            else if (op == bytecode::kTableSwitch || op == bytecode::kLookupSwitch)
                newLength = oldLength - (bytecode::SwitchOperands(at) - at) + (bytecode::SwitchOperands(next) - next);
            isStart_[at] = 1;
            // An offset inside an instruction (only a debugging table may hold one) stays
            // inside the same instruction.
            for (uint32_t q = 0; q < oldLength; ++q)
                newAt_[at + q] = next + std::min(q, newLength - 1);
            next += newLength;
            if (next > kMaxCodeLength)
                return Fail(RedirectFault::CodeTooLong, info_.codeOffset + at);
        }
        newAt_[length_] = next;
        isStart_[length_] = 1;
        newLength_ = next;
        return true;
    }

    // Where an instruction starts: a branch target, a handler, a frame, a `new`.
    bool Instruction(int64_t pc, uint32_t& mapped, size_t faultAt)
    {
        if (pc < 0 || pc >= length_ || !isStart_[pc])
            return Fail(RedirectFault::BadCodeOffset, faultAt);
        mapped = newAt_[pc];
        return true;
    }
    // The end of a handler's range: an instruction start or the end of the code.
    bool InstructionOrEnd(uint32_t pc, uint32_t& mapped, size_t faultAt)
    {
        if (pc > length_ || !isStart_[pc])
            return Fail(RedirectFault::BadCodeOffset, faultAt);
        mapped = newAt_[pc];
        return true;
    }
    // An offset of a debugging table or a type annotation, which the JVM loads without
    // checking that an instruction starts there.
    bool Offset(uint32_t pc, uint32_t& mapped, size_t faultAt)
    {
        if (pc > length_)
            return Fail(RedirectFault::BadCodeOffset, faultAt);
        mapped = newAt_[pc];
        return true;
    }

    // ---- Code

    bool EmitCode(std::string& out)
    {
        for (size_t k = 0; k < starts_.size(); ++k) {
            const uint32_t pc = starts_[k];
            const uint32_t oldLength = (k + 1 < starts_.size() ? starts_[k + 1] : length_) - pc;
            const uint32_t at = newAt_[pc];
            const uint8_t* p = code_ + pc;
            const uint8_t op = p[0];
            const size_t faultAt = size_t{info_.codeOffset} + pc;
            if (op == kLdc || op == kLdcW) {
                const uint16_t to = Target(op == kLdc ? p[1] : bytecode::U2(p + 1));
                if (to == 0) {
                    out.append(reinterpret_cast<const char*>(p), oldLength);
                } else if (op == kLdc && to <= 0xFF) {
                    PutU1(out, kLdc);
                    PutU1(out, to);
                } else {
                    PutU1(out, kLdcW);
                    PutU2(out, to);
                }
            } else if (IsShortBranch(op) || IsLongBranch(op)) {
                const bool wide = IsLongBranch(op);
                const int64_t target = int64_t{pc} + (wide ? bytecode::S4(p + 1) : bytecode::S2(p + 1));
                uint32_t mapped = 0;
                if (!Instruction(target, mapped, faultAt))
                    return false;
                const int64_t offset = int64_t{mapped} - at;
                PutU1(out, op);
                if (wide) {
                    PutU4(out, static_cast<uint32_t>(offset));
                } else {
                    // A wider branch would be another instruction, with other lengths and frames.
                    if (offset < std::numeric_limits<int16_t>::min() || offset > std::numeric_limits<int16_t>::max())
                        return Fail(RedirectFault::BranchOutOfRange, faultAt);
                    PutU2(out, static_cast<uint32_t>(offset));
                }
            } else if (op == bytecode::kTableSwitch || op == bytecode::kLookupSwitch) {
                if (!EmitSwitch(pc, at, out))
                    return false;
            } else {
                out.append(reinterpret_cast<const char*>(p), oldLength);
            }
        }
        return true;
    }

    bool EmitSwitch(uint32_t pc, uint32_t at, std::string& out)
    {
        const size_t faultAt = size_t{info_.codeOffset} + pc;
        const bytecode::Switch cases(code_, pc);
        const auto branch = [&](int32_t offset) {
            uint32_t mapped = 0;
            if (!Instruction(int64_t{pc} + offset, mapped, faultAt))
                return false;
            PutU4(out, static_cast<uint32_t>(int64_t{mapped} - at));
            return true;
        };
        PutU1(out, code_[pc]);
        out.append(bytecode::SwitchOperands(at) - at - 1, '\0');
        if (!branch(cases.DefaultOffset()))
            return false;
        const uint8_t* operands = code_ + bytecode::SwitchOperands(pc);
        const uint32_t count = cases.Count();
        if (code_[pc] == bytecode::kTableSwitch) {
            out.append(reinterpret_cast<const char*>(operands + 4), 8);  // low, high
            for (uint32_t k = 0; k < count; ++k) {
                if (!branch(cases.Offset(k)))
                    return false;
            }
        } else {
            out.append(reinterpret_cast<const char*>(operands + 4), 4);  // npairs
            for (uint32_t k = 0; k < count; ++k) {
                PutU4(out, static_cast<uint32_t>(cases.Key(k)));
                if (!branch(cases.Offset(k)))
                    return false;
            }
        }
        return true;
    }

    // ---- The rest of the attribute

    bool Copy(ByteReader& r, size_t n, std::string& out)
    {
        if (n > r.Remaining())
            return Fail(RedirectFault::MalformedCode, r.Position());
        out.append(reinterpret_cast<const char*>(r.Data() + r.Position()), n);
        r.Skip(n);
        return true;
    }

    bool Handlers(ByteReader& r, std::string& out)
    {
        const size_t countAt = r.Position();
        const uint16_t count = r.U2();
        if (!r.Ok() || size_t{count} * 8 > r.Remaining())
            return Fail(RedirectFault::MalformedCode, countAt);
        PutU2(out, count);
        for (uint32_t i = 0; i < count; ++i) {
            const size_t at = r.Position();
            const uint16_t start = r.U2();
            const uint16_t end = r.U2();
            const uint16_t handler = r.U2();
            uint32_t newStart = 0, newEnd = 0, newHandler = 0;
            if (!Instruction(start, newStart, at) || !InstructionOrEnd(end, newEnd, at + 2) ||
                !Instruction(handler, newHandler, at + 4))
                return false;
            PutU2(out, newStart);
            PutU2(out, newEnd);
            PutU2(out, newHandler);
            if (!Copy(r, 2, out))  // catch_type
                return false;
        }
        return true;
    }

    bool Attributes(ByteReader& r, std::string& out)
    {
        const size_t countAt = r.Position();
        const uint16_t count = r.U2();
        if (!r.Ok())
            return Fail(RedirectFault::MalformedCode, countAt);
        PutU2(out, count);
        for (uint32_t i = 0; i < count; ++i) {
            const size_t at = r.Position();
            const uint16_t name = r.U2();
            const uint32_t length = r.U4();
            if (!r.Ok() || length > r.Remaining())
                return Fail(RedirectFault::MalformedCode, at);
            const CodeAttr kind = CodeAttrOf(cf_.Utf8Bytes(name));
            if (kind == CodeAttr::Unknown)
                return Fail(RedirectFault::UnknownCodeAttribute, at);
            PutU2(out, name);
            const size_t lengthAt = out.size();
            PutU4(out, 0);
            const size_t end = r.Position() + length;
            const ByteReader::Window outer = r.Narrow(end, ParseError::AttributeOverrun);
            bool done = false;
            switch (kind) {
                case CodeAttr::LineNumbers: done = LineNumbers(r, out); break;
                case CodeAttr::LocalVariables: done = LocalVariables(r, out); break;
                case CodeAttr::StackMap: done = StackMap(r, out); break;
                case CodeAttr::TypeAnnotations: done = TypeAnnotations(r, out); break;
                case CodeAttr::Unknown: break;
            }
            if (!done)
                return Fail(RedirectFault::MalformedCode, at);  // keeps a reason set inside
            if (!r.Ok() || r.Position() != end)
                return Fail(RedirectFault::MalformedCode, at);
            r.Restore(outer);
            const size_t newLength = out.size() - lengthAt - 4;
            if (newLength > std::numeric_limits<uint32_t>::max())
                return Fail(RedirectFault::CodeTooLong, at);
            SetU4(out, lengthAt, static_cast<uint32_t>(newLength));
        }
        return true;
    }

    bool LineNumbers(ByteReader& r, std::string& out)
    {
        const uint16_t count = r.U2();
        PutU2(out, count);
        for (uint32_t i = 0; i < count && r.Ok(); ++i) {
            const size_t at = r.Position();
            const uint16_t start = r.U2();
            uint32_t mapped = 0;
            if (!r.Ok() || !Offset(start, mapped, at))
                return false;
            PutU2(out, mapped);
            if (!Copy(r, 2, out))  // line_number
                return false;
        }
        return r.Ok();
    }

    // A range [start, start + length) of the code: both ends move.
    bool Range(ByteReader& r, std::string& out)
    {
        const size_t at = r.Position();
        const uint16_t start = r.U2();
        const uint16_t length = r.U2();
        uint32_t newStart = 0, newEnd = 0;
        if (!r.Ok() || !Offset(start, newStart, at) || !Offset(uint32_t{start} + length, newEnd, at + 2))
            return false;
        PutU2(out, newStart);
        PutU2(out, newEnd - newStart);
        return true;
    }

    bool LocalVariables(ByteReader& r, std::string& out)
    {
        const uint16_t count = r.U2();
        PutU2(out, count);
        for (uint32_t i = 0; i < count && r.Ok(); ++i) {
            if (!Range(r, out) || !Copy(r, 6, out))  // name, descriptor or signature, slot
                return false;
        }
        return r.Ok();
    }

    // Frame offsets are deltas from the frame before, so each frame's absolute offset is
    // moved and the delta taken again; a short form whose delta no longer fits in its type
    // byte is written in its extended form.
    bool StackMap(ByteReader& r, std::string& out)
    {
        const uint16_t count = r.U2();
        PutU2(out, count);
        int64_t previousOld = -1;
        int64_t previousNew = -1;
        for (uint32_t i = 0; i < count && r.Ok(); ++i) {
            const size_t at = r.Position();
            const uint8_t type = r.U1();
            uint32_t delta = 0;
            if (type < 128)
                delta = type % 64;
            else if (type >= 247)
                delta = r.U2();
            else
                return Fail(RedirectFault::MalformedCode, at);
            if (!r.Ok())
                return false;
            const int64_t offset = previousOld + delta + 1;
            uint32_t mapped = 0;
            if (!Instruction(offset, mapped, at))
                return false;
            const int64_t newDelta = int64_t{mapped} - previousNew - 1;
            if (newDelta < 0)  // frames out of order: only a malformed table has them
                return Fail(RedirectFault::BadCodeOffset, at);
            previousOld = offset;
            previousNew = mapped;
            const auto d = static_cast<uint32_t>(newDelta);
            if (type < 64) {
                if (d < 64) {
                    PutU1(out, d);
                } else {
                    PutU1(out, 251);  // same_frame_extended
                    PutU2(out, d);
                }
            } else if (type < 128) {
                if (d < 64) {
                    PutU1(out, 64 + d);
                } else {
                    PutU1(out, 247);  // same_locals_1_stack_item_frame_extended
                    PutU2(out, d);
                }
                if (!VerificationTypes(r, 1, out))
                    return false;
            } else {
                PutU1(out, type);
                PutU2(out, d);
                if (type == 247) {
                    if (!VerificationTypes(r, 1, out))
                        return false;
                } else if (type >= 252 && type <= 254) {
                    if (!VerificationTypes(r, type - 251u, out))
                        return false;
                } else if (type == 255) {
                    for (int list = 0; list < 2; ++list) {  // locals, then stack
                        const uint16_t n = r.U2();
                        if (!r.Ok())
                            return false;
                        PutU2(out, n);
                        if (!VerificationTypes(r, n, out))
                            return false;
                    }
                }
            }
        }
        return r.Ok();
    }

    bool VerificationTypes(ByteReader& r, uint32_t n, std::string& out)
    {
        for (uint32_t k = 0; k < n; ++k) {
            const size_t at = r.Position();
            const uint8_t tag = r.U1();
            if (!r.Ok())
                return false;
            PutU1(out, tag);
            if (tag == 7) {  // Object: a class index
                if (!Copy(r, 2, out))
                    return false;
            } else if (tag == 8) {  // Uninitialized: the offset of its `new`
                const uint16_t pc = r.U2();
                uint32_t mapped = 0;
                if (!r.Ok() || !Instruction(pc, mapped, at + 1))
                    return false;
                PutU2(out, mapped);
            } else if (tag > 8) {
                return Fail(RedirectFault::MalformedCode, at);
            }
        }
        return true;
    }

    bool TypeAnnotations(ByteReader& r, std::string& out)
    {
        const uint16_t count = r.U2();
        PutU2(out, count);
        for (uint32_t i = 0; i < count && r.Ok(); ++i) {
            const size_t at = r.Position();
            const uint8_t target = r.U1();
            if (!r.Ok())
                return false;
            PutU1(out, target);
            if (target == 0x40 || target == 0x41) {  // local variable, resource variable
                const uint16_t ranges = r.U2();
                PutU2(out, ranges);
                for (uint32_t k = 0; k < ranges && r.Ok(); ++k) {
                    if (!Range(r, out) || !Copy(r, 2, out))  // index
                        return false;
                }
            } else if (target == 0x42) {  // catch: an index into the exception table
                if (!Copy(r, 2, out))
                    return false;
            } else if (target >= 0x43 && target <= 0x4B) {  // instanceof, new, method refs, casts, type arguments
                const size_t offsetAt = r.Position();
                const uint16_t pc = r.U2();
                uint32_t mapped = 0;
                if (!r.Ok() || !Offset(pc, mapped, offsetAt))
                    return false;
                PutU2(out, mapped);
                if (target >= 0x47 && !Copy(r, 1, out))  // type_argument_index
                    return false;
            } else {
                return Fail(RedirectFault::MalformedCode, at);  // a target that has no place in code
            }
            const uint8_t pathLength = r.U1();
            if (!r.Ok())
                return false;
            PutU1(out, pathLength);
            if (!Copy(r, size_t{pathLength} * 2, out))
                return false;
            const size_t annotation = r.Position();
            if (!SkipAnnotation(r, 0))
                return false;
            out.append(reinterpret_cast<const char*>(r.Data() + annotation), r.Position() - annotation);
        }
        return r.Ok();
    }

    // Steps over an annotation (type index and element-value pairs), which holds no offsets.
    bool SkipAnnotation(ByteReader& r, int depth)
    {
        r.U2();  // type_index
        const uint16_t pairs = r.U2();
        for (uint32_t i = 0; i < pairs && r.Ok(); ++i) {
            r.U2();  // element_name_index
            if (!SkipElementValue(r, depth + 1))
                return false;
        }
        return r.Ok();
    }

    bool SkipElementValue(ByteReader& r, int depth)
    {
        const size_t at = r.Position();
        if (depth > kMaxNesting)
            return Fail(RedirectFault::MalformedCode, at);
        const uint8_t tag = r.U1();
        switch (tag) {
            case 'B':
            case 'C':
            case 'D':
            case 'F':
            case 'I':
            case 'J':
            case 'S':
            case 'Z':
            case 's':
            case 'c': r.U2(); break;
            case 'e': r.Skip(4); break;
            case '@': return SkipAnnotation(r, depth + 1);
            case '[': {
                const uint16_t count = r.U2();
                for (uint32_t i = 0; i < count && r.Ok(); ++i) {
                    if (!SkipElementValue(r, depth + 1))
                        return false;
                }
                break;
            }
            default: return Fail(RedirectFault::MalformedCode, at);
        }
        return r.Ok();
    }

    const ClassFile& cf_;
    const CodeInfo& info_;
    std::span<const LoadRedirect> targets_;
    const uint8_t* code_;
    uint32_t length_;
    uint32_t newLength_ = 0;
    std::vector<uint32_t> starts_;   // the old offset of each instruction, in order
    std::vector<uint32_t> newAt_;    // per old offset (and the end): the new one
    std::vector<uint8_t> isStart_;   // per old offset (and the end): 1 where an instruction starts
};

bool ByMethodAndString(const LoadRedirect& a, const LoadRedirect& b)
{
    return a.method != b.method ? a.method < b.method : a.fromString < b.fromString;
}

}  // namespace

RedirectedLoads RedirectLoads(const ClassFile& cf, std::span<const LoadRedirect> redirects)
{
    RedirectedLoads result;
    const auto fail = [&result](RedirectFault fault, uint16_t method, size_t offset) {
        result.fault = fault;
        result.method = method;
        result.offset = offset;
        result.tail.clear();
        return result;
    };
    if (!cf.parsed || cf.poolEnd > cf.bytes.size())
        return fail(RedirectFault::NotParsed, 0, 0);

    std::vector<LoadRedirect> sorted(redirects.begin(), redirects.end());
    std::sort(sorted.begin(), sorted.end(), ByMethodAndString);
    for (size_t i = 0; i < sorted.size(); ++i) {
        const LoadRedirect& r = sorted[i];
        if (r.method >= cf.methods.size() || cf.At(r.fromString, Tag::String) == nullptr || r.toString == 0 ||
            r.toString == 0xFFFF)
            return fail(RedirectFault::BadRedirect, r.method, 0);
        if (i > 0 && !ByMethodAndString(sorted[i - 1], r) && sorted[i - 1].toString != r.toString)
            return fail(RedirectFault::BadRedirect, r.method, 0);
    }
    // The redirects of one method, found by a search in the sorted list.
    const auto targetsOf = [&sorted](uint16_t method) {
        const LoadRedirect key{method, 0, 0};
        const auto first = std::lower_bound(sorted.begin(), sorted.end(), key, ByMethodAndString);
        auto last = first;
        while (last != sorted.end() && last->method == method)
            ++last;
        return std::span<const LoadRedirect>(sorted.data() + (first - sorted.begin()), size_t(last - first));
    };
    const auto targetOf = [](std::span<const LoadRedirect> targets, uint16_t from) -> uint16_t {
        for (const LoadRedirect& r : targets) {
            if (r.fromString == from)
                return r.toString;
        }
        return 0;
    };

    std::vector<const CodeInfo*> codes;
    for (const CodeInfo& code : cf.codes) {
        if (!targetsOf(code.method).empty())
            codes.push_back(&code);
    }
    std::sort(codes.begin(), codes.end(),
              [](const CodeInfo* a, const CodeInfo* b) { return a->codeOffset < b->codeOffset; });

    const uint8_t* bytes = cf.bytes.data();
    const size_t size = cf.bytes.size();
    std::string& out = result.tail;
    out.reserve(size - cf.poolEnd + 64);
    size_t copied = cf.poolEnd;  // the input up to here is in `out`
    for (const CodeInfo* code : codes) {
        const std::span<const LoadRedirect> targets = targetsOf(code->method);
        const size_t codeEnd = size_t{code->codeOffset} + code->codeLength;
        // name (2), attribute_length (4), max_stack, max_locals (2 each), code_length (4)
        if (code->codeOffset < cf.poolEnd + 14 || code->codeOffset - 14 < copied || codeEnd > size)
            return fail(RedirectFault::MalformedCode, code->method, code->codeOffset);
        bool changes = false;
        bool grows = false;
        for (const LoadedString& s : code->strings) {
            const uint16_t to = targetOf(targets, s.stringIndex);
            if (to == 0 || s.pc >= code->codeLength)
                continue;
            changes = true;
            grows = grows || (bytes[code->codeOffset + s.pc] == kLdc && to > 0xFF);
        }
        if (!changes)
            continue;
        if (!grows) {
            // Every load keeps its length: the operands change where they stand.
            out.append(reinterpret_cast<const char*>(bytes + copied), codeEnd - copied);
            copied = codeEnd;
            for (const LoadedString& s : code->strings) {
                const uint16_t to = targetOf(targets, s.stringIndex);
                if (to == 0 || s.pc >= code->codeLength)
                    continue;
                const size_t at = out.size() - (code->codeLength - s.pc);  // the opcode in `out`
                if (bytes[code->codeOffset + s.pc] == kLdc) {
                    out[at + 1] = static_cast<char>(to);
                } else if (s.pc + 2 < code->codeLength) {
                    out[at + 1] = static_cast<char>(to >> 8);
                    out[at + 2] = static_cast<char>(to & 0xFF);
                }
            }
            continue;
        }
        const size_t start = code->codeOffset - 14;
        const uint32_t declared = (uint32_t{bytes[start + 2]} << 24) | (uint32_t{bytes[start + 3]} << 16) |
                                  (uint32_t{bytes[start + 4]} << 8) | bytes[start + 5];
        const size_t end = start + 6 + size_t{declared};
        if (end > size || end < codeEnd)
            return fail(RedirectFault::MalformedCode, code->method, start);
        std::string attribute;
        Relayout relayout(cf, *code, targets);
        if (!relayout.Run(start, end, attribute))
            return fail(relayout.fault, code->method, relayout.faultOffset);
        out.append(reinterpret_cast<const char*>(bytes + copied), start - copied);
        out += attribute;
        copied = end;
    }
    out.append(reinterpret_cast<const char*>(bytes + copied), size - copied);
    return result;
}

}  // namespace cl::classfile

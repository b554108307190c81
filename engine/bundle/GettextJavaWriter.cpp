// Writing a gettext Java bundle: the two classes of GettextJavaBundle.h's layout, assembled
// here, since the engine runs neither msgfmt nor javac. Every method has a fixed shape but for
// the table's stores and the plural expression; the branching ones (lookup, the enumeration)
// carry hand-made stack map frames, which class version 51 requires, and the plural expression
// is compiled without branches so that it needs none.

#include "bundle/GettextJavaBundle.h"

#include "classfile/ModifiedUtf8.h"
#include "text/CodePoints.h"

#include <algorithm>
#include <map>
#include <memory>
#include <set>
#include <utility>

namespace cl::bundle {

namespace {

constexpr uint16_t kMajorVersion = 51;
// A method's code may have 65535 bytes; the stores of <clinit> go to parts before that.
constexpr size_t kMaxCode = 65535;

Error Unwritable(GettextFault fault, std::string entry = {})
{
    Error error(ErrorKind::GettextUnwritable);
    error.fault = static_cast<uint16_t>(fault);
    error.entry = std::move(entry);
    return error;
}

void PutU2(std::string& out, uint32_t v)
{
    out += static_cast<char>((v >> 8) & 0xFF);
    out += static_cast<char>(v & 0xFF);
}
void PutU4(std::string& out, uint32_t v)
{
    PutU2(out, v >> 16);
    PutU2(out, v & 0xFFFF);
}

// The constant pool, each constant once. Past 65535 entries `full` is set and later constants
// get index 0: the writer checks `full` before it lays out the class.
class Pool {
public:
    uint16_t Utf8(std::string_view modified)
    {
        std::string entry(1, '\x01');
        PutU2(entry, static_cast<uint32_t>(modified.size()));
        entry += modified;
        return Add(std::move(entry));
    }
    uint16_t Class(std::string_view name) { return Ref(7, Utf8(name)); }
    uint16_t String(std::string_view modified) { return Ref(8, Utf8(modified)); }
    uint16_t Integer(int32_t v)
    {
        std::string entry(1, '\x03');
        PutU4(entry, static_cast<uint32_t>(v));
        return Add(std::move(entry));
    }
    uint16_t Long(int64_t v)
    {
        std::string entry(1, '\x05');
        PutU4(entry, static_cast<uint32_t>(static_cast<uint64_t>(v) >> 32));
        PutU4(entry, static_cast<uint32_t>(static_cast<uint64_t>(v)));
        return Add(std::move(entry), 2);
    }
    uint16_t NameAndType(std::string_view name, std::string_view descriptor)
    {
        return Pair(12, Utf8(name), Utf8(descriptor));
    }
    uint16_t Field(uint16_t owner, std::string_view name, std::string_view descriptor)
    {
        return Pair(9, owner, NameAndType(name, descriptor));
    }
    uint16_t Method(uint16_t owner, std::string_view name, std::string_view descriptor)
    {
        return Pair(10, owner, NameAndType(name, descriptor));
    }

    bool full = false;
    uint32_t count = 1;
    std::string bytes;

private:
    uint16_t Ref(uint8_t tag, uint16_t index)
    {
        std::string entry(1, static_cast<char>(tag));
        PutU2(entry, index);
        return Add(std::move(entry));
    }
    uint16_t Pair(uint8_t tag, uint16_t a, uint16_t b)
    {
        std::string entry(1, static_cast<char>(tag));
        PutU2(entry, a);
        PutU2(entry, b);
        return Add(std::move(entry));
    }
    uint16_t Add(std::string entry, uint32_t slots = 1)
    {
        if (const auto found = seen_.find(entry); found != seen_.end())
            return found->second;
        if (count + slots > 65535) {
            full = true;
            return 0;
        }
        const auto index = static_cast<uint16_t>(count);
        count += slots;
        bytes += entry;
        seen_.emplace(std::move(entry), index);
        return index;
    }

    std::map<std::string, uint16_t, std::less<>> seen_;
};

// One method's code with its branch labels and stack map frames.
class Code {
public:
    void Op(uint8_t op) { bytes += static_cast<char>(op); }
    void Op(uint8_t op, uint16_t operand)
    {
        Op(op);
        PutU2(bytes, operand);
    }
    void OpByte(uint8_t op, uint8_t operand)
    {
        Op(op);
        Op(operand);
    }
    // Any int from -32768 up to 2^30 without a constant: the table's indexes pass 32767 in a
    // big bundle, and an Integer constant for each would fill the pool.
    void PushInt(int32_t v)
    {
        if (v >= -1 && v <= 5) {
            Op(static_cast<uint8_t>(0x03 + v));  // iconst_<v>
        } else if (v >= -128 && v <= 127) {
            OpByte(0x10, static_cast<uint8_t>(v));  // bipush
        } else if (v >= -32768 && v <= 32767) {
            Op(0x11, static_cast<uint16_t>(v));  // sipush
        } else {
            Op(0x11, static_cast<uint16_t>(v >> 15));  // sipush high
            OpByte(0x10, 15);                          // bipush 15
            Op(0x78);                                  // ishl
            Op(0x11, static_cast<uint16_t>(v & 0x7FFF));
            Op(0x80);  // ior
        }
    }
    void Ldc(uint16_t index)
    {
        if (index <= 0xFF)
            OpByte(0x12, static_cast<uint8_t>(index));
        else
            Op(0x13, index);
    }

    int NewLabel()
    {
        labels_.push_back(0);
        return static_cast<int>(labels_.size() - 1);
    }
    void Jump(uint8_t op, int label)
    {
        jumps_.push_back({bytes.size(), label});
        Op(op, 0);
    }
    // Binds `label` here, with the frame (full_frame's locals and stack, already encoded).
    void Bind(int label, std::string frame)
    {
        labels_[static_cast<size_t>(label)] = bytes.size();
        frames_.emplace_back(bytes.size(), std::move(frame));
    }
    void Finish()
    {
        for (const auto& [at, label] : jumps_) {
            const auto delta = static_cast<int32_t>(labels_[static_cast<size_t>(label)]) - static_cast<int32_t>(at);
            bytes[at + 1] = static_cast<char>((static_cast<uint32_t>(delta) >> 8) & 0xFF);
            bytes[at + 2] = static_cast<char>(static_cast<uint32_t>(delta) & 0xFF);
        }
    }
    // The StackMapTable's content (without the attribute header); empty without frames.
    std::string StackMap() const
    {
        if (frames_.empty())
            return {};
        std::string out;
        PutU2(out, static_cast<uint32_t>(frames_.size()));
        size_t previous = 0;
        for (size_t i = 0; i < frames_.size(); ++i) {
            const size_t at = frames_[i].first;
            out += static_cast<char>(255);  // full_frame
            PutU2(out, static_cast<uint32_t>(i == 0 ? at : at - previous - 1));
            out += frames_[i].second;
            previous = at;
        }
        return out;
    }

    std::string bytes;

private:
    std::vector<size_t> labels_;
    std::vector<std::pair<size_t, int>> jumps_;
    std::vector<std::pair<size_t, std::string>> frames_;
};

// Verification types of a full_frame.
struct Frame {
    std::string locals;
    std::string stack;
    uint32_t localCount = 0;
    uint32_t stackCount = 0;
    Frame& Local(uint16_t classIndex) { return Add(locals, localCount, classIndex); }
    Frame& LocalInt() { return AddInt(locals, localCount); }
    Frame& Stack(uint16_t classIndex) { return Add(stack, stackCount, classIndex); }
    std::string Encoded() const
    {
        std::string out;
        PutU2(out, localCount);
        out += locals;
        PutU2(out, stackCount);
        out += stack;
        return out;
    }

private:
    Frame& Add(std::string& to, uint32_t& count, uint16_t classIndex)
    {
        to += '\x07';
        PutU2(to, classIndex);
        ++count;
        return *this;
    }
    Frame& AddInt(std::string& to, uint32_t& count)
    {
        to += '\x01';
        ++count;
        return *this;
    }
};

struct MethodOut {
    uint16_t flags = 0;
    uint16_t name = 0;
    uint16_t descriptor = 0;
    Code code;
    uint16_t maxStack = 0;
    uint16_t maxLocals = 0;
    uint16_t exception = 0;  // a Class for an Exceptions attribute; 0 for none
};

struct ClassOut {
    Pool pool;
    uint16_t flags = 0;
    uint16_t thisClass = 0;
    uint16_t superClass = 0;
    std::vector<uint16_t> interfaces;
    struct FieldOut {
        uint16_t flags, name, descriptor;
    };
    std::vector<FieldOut> fields;
    std::vector<MethodOut> methods;
    std::vector<std::pair<uint16_t, std::string>> attributes;  // name, content

    // The class file, or an error when a limit is passed.
    Result<std::string> Bytes()
    {
        const uint16_t codeName = pool.Utf8("Code");
        const uint16_t mapName = pool.Utf8("StackMapTable");
        const uint16_t exceptionsName = pool.Utf8("Exceptions");
        if (pool.full)
            return Unwritable(GettextFault::PoolFull);
        std::string out;
        PutU4(out, 0xCAFEBABE);
        PutU2(out, 0);
        PutU2(out, kMajorVersion);
        PutU2(out, pool.count);
        out += pool.bytes;
        PutU2(out, flags);
        PutU2(out, thisClass);
        PutU2(out, superClass);
        PutU2(out, static_cast<uint32_t>(interfaces.size()));
        for (const uint16_t i : interfaces)
            PutU2(out, i);
        PutU2(out, static_cast<uint32_t>(fields.size()));
        for (const auto& f : fields) {
            PutU2(out, f.flags);
            PutU2(out, f.name);
            PutU2(out, f.descriptor);
            PutU2(out, 0);
        }
        PutU2(out, static_cast<uint32_t>(methods.size()));
        for (MethodOut& m : methods) {
            m.code.Finish();
            if (m.code.bytes.size() > kMaxCode)
                return Unwritable(GettextFault::CodeTooLarge);
            PutU2(out, m.flags);
            PutU2(out, m.name);
            PutU2(out, m.descriptor);
            PutU2(out, m.exception != 0 ? 2 : 1);
            const std::string map = m.code.StackMap();
            std::string code;
            PutU2(code, m.maxStack);
            PutU2(code, m.maxLocals);
            PutU4(code, static_cast<uint32_t>(m.code.bytes.size()));
            code += m.code.bytes;
            PutU2(code, 0);  // no exception handlers
            PutU2(code, map.empty() ? 0 : 1);
            if (!map.empty()) {
                PutU2(code, mapName);
                PutU4(code, static_cast<uint32_t>(map.size()));
                code += map;
            }
            PutU2(out, codeName);
            PutU4(out, static_cast<uint32_t>(code.size()));
            out += code;
            if (m.exception != 0) {
                PutU2(out, exceptionsName);
                PutU4(out, 4);
                PutU2(out, 1);
                PutU2(out, m.exception);
            }
        }
        PutU2(out, static_cast<uint32_t>(attributes.size()));
        for (const auto& [name, content] : attributes) {
            PutU2(out, name);
            PutU4(out, static_cast<uint32_t>(content.size()));
            out += content;
        }
        return out;
    }
};

// ---- The plural expression: gettext's C subset, computed on longs without a branch.

struct PluralNode {
    enum Kind : uint8_t { N, Number, Not, Binary, Choice } kind = N;
    std::string op;  // Binary: "+", "==", "&&", ...
    int64_t value = 0;
    std::unique_ptr<PluralNode> a, b, c;
};

class PluralParser {
public:
    explicit PluralParser(std::string_view text) : text_(text) {}

    std::unique_ptr<PluralNode> Parse()
    {
        auto node = Choice(0);
        Skip();
        if (!node || pos_ != text_.size())
            return nullptr;
        return node;
    }

private:
    static constexpr int kMaxDepth = 100;

    void Skip()
    {
        while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t' || text_[pos_] == '\n' || text_[pos_] == '\r'))
            ++pos_;
    }
    bool Take(std::string_view token)
    {
        Skip();
        if (text_.substr(pos_, token.size()) != token)
            return false;
        // "<" is not the start of "<=", "!" not of "!=", "=" alone is no operator.
        if (token.size() == 1 && pos_ + 1 < text_.size() && text_[pos_ + 1] == '=' &&
            (token == "<" || token == ">" || token == "!"))
            return false;
        pos_ += token.size();
        return true;
    }
    static std::unique_ptr<PluralNode> Binary(std::string op, std::unique_ptr<PluralNode> a, std::unique_ptr<PluralNode> b)
    {
        if (!a || !b)
            return nullptr;
        auto node = std::make_unique<PluralNode>();
        node->kind = PluralNode::Binary;
        node->op = std::move(op);
        node->a = std::move(a);
        node->b = std::move(b);
        return node;
    }
    std::unique_ptr<PluralNode> Choice(int depth)
    {
        if (depth > kMaxDepth)
            return nullptr;
        auto condition = Level(0, depth);
        if (!condition || !Take("?"))
            return condition;
        auto yes = Choice(depth + 1);
        if (!yes || !Take(":"))
            return nullptr;
        auto no = Choice(depth + 1);
        if (!no)
            return nullptr;
        auto node = std::make_unique<PluralNode>();
        node->kind = PluralNode::Choice;
        node->a = std::move(condition);
        node->b = std::move(yes);
        node->c = std::move(no);
        return node;
    }
    // Binary operators by precedence, loosest first.
    std::unique_ptr<PluralNode> Level(size_t level, int depth)
    {
        static const std::vector<std::vector<std::string_view>> kLevels = {
            {"||"}, {"&&"}, {"==", "!="}, {"<=", ">=", "<", ">"}, {"+", "-"}, {"*", "/", "%"}};
        if (level == kLevels.size())
            return Unary(depth);
        auto left = Level(level + 1, depth);
        while (left) {
            std::string_view taken;
            for (const std::string_view op : kLevels[level])
                if (Take(op)) {
                    taken = op;
                    break;
                }
            if (taken.empty())
                break;
            left = Binary(std::string(taken), std::move(left), Level(level + 1, depth));
        }
        return left;
    }
    std::unique_ptr<PluralNode> Unary(int depth)
    {
        if (depth > kMaxDepth)
            return nullptr;
        if (Take("!")) {
            auto operand = Unary(depth + 1);
            if (!operand)
                return nullptr;
            auto node = std::make_unique<PluralNode>();
            node->kind = PluralNode::Not;
            node->a = std::move(operand);
            return node;
        }
        if (Take("(")) {
            auto inner = Choice(depth + 1);
            if (!inner || !Take(")"))
                return nullptr;
            return inner;
        }
        Skip();
        if (pos_ < text_.size() && text_[pos_] == 'n') {
            ++pos_;
            return std::make_unique<PluralNode>();
        }
        if (pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9') {
            int64_t value = 0;
            while (pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9') {
                value = value * 10 + (text_[pos_] - '0');
                if (value > 0xFFFFFFFFLL)
                    return nullptr;
                ++pos_;
            }
            auto node = std::make_unique<PluralNode>();
            node->kind = PluralNode::Number;
            node->value = value;
            return node;
        }
        return nullptr;
    }

    std::string_view text_;
    size_t pos_ = 0;
};

// Emits code leaving each node's value as a long. A condition is 0 or 1; `c ? a : b` is
// (a & m) | (b & ~m) with m = -(c != 0) kept in a local, so that neither branch is written
// twice. Both sides are computed, so a division is only taken by a constant other than zero:
// no choice can then divide by zero on the side it does not take.
class PluralCompiler {
public:
    PluralCompiler(Code& code, Pool& pool) : code_(code), pool_(pool) {}

    bool Emit(const PluralNode& node)
    {
        switch (node.kind) {
            case PluralNode::N:
                code_.Op(0x1e);  // lload_0
                return Push(2);
            case PluralNode::Number:
                if (node.value <= 1) {
                    code_.Op(static_cast<uint8_t>(0x09 + node.value));  // lconst_0/1
                    return Push(2);
                }
                if (node.value <= 32767) {
                    code_.PushInt(static_cast<int32_t>(node.value));
                    code_.Op(0x85);  // i2l
                    return Push(1) && Push(1);
                }
                code_.Op(0x14, pool_.Long(node.value));  // ldc2_w
                return Push(2);
            case PluralNode::Not:
                if (!Truth(*node.a))
                    return false;
                code_.Op(0x04);  // iconst_1
                code_.Op(0x82);  // ixor
                code_.Op(0x85);  // i2l
                return Push(1) && Pop(1) && Pop(1) && Push(2);
            case PluralNode::Choice: {
                const int slot = 2 + 2 * choices_++;
                if (slot > 250 || !Truth(*node.a))
                    return false;
                code_.Op(0x85);                                    // i2l
                code_.Op(0x75);                                    // lneg
                code_.OpByte(0x37, static_cast<uint8_t>(slot));   // lstore
                Pop(1);
                if (!Emit(*node.b))
                    return false;
                code_.OpByte(0x16, static_cast<uint8_t>(slot));  // lload
                code_.Op(0x7f);                                   // land
                if (!Push(2) || !Pop(2) || !Emit(*node.c))
                    return false;
                code_.OpByte(0x16, static_cast<uint8_t>(slot));
                code_.Op(0x02);  // iconst_m1
                code_.Op(0x85);  // i2l
                code_.Op(0x83);  // lxor
                code_.Op(0x7f);  // land
                code_.Op(0x81);  // lor
                return Push(4) && Pop(4) && Pop(2);
            }
            case PluralNode::Binary: break;
        }
        const std::string& op = node.op;
        if (op == "&&" || op == "||") {
            if (!Truth(*node.a) || !Truth(*node.b))
                return false;
            code_.Op(op == "&&" ? 0x7e : 0x80);  // iand, ior
            code_.Op(0x85);
            return Pop(1) && Pop(1) && Push(2);
        }
        if (op == "/" || op == "%") {
            if (node.b->kind != PluralNode::Number || node.b->value == 0)
                return false;
        }
        if (!Emit(*node.a) || !Emit(*node.b))
            return false;
        static const std::map<std::string, uint8_t, std::less<>> kArithmetic = {
            {"+", 0x61}, {"-", 0x65}, {"*", 0x69}, {"/", 0x6d}, {"%", 0x71}};
        if (const auto found = kArithmetic.find(op); found != kArithmetic.end()) {
            code_.Op(found->second);
            return Pop(2);
        }
        // A comparison: lcmp gives -1, 0 or 1; its sign bit or its square gives the answer.
        code_.Op(0x94);  // lcmp
        Pop(4);
        Push(1);
        const bool negate = op == "==" || op == "<=" || op == ">=";
        if (op == "!=" || op == "==") {
            code_.Op(0x59);  // dup
            code_.Op(0x68);  // imul
            Push(1);
            Pop(1);
        } else {
            if (op == ">" || op == "<=")
                code_.Op(0x74);  // ineg: 1 (greater) becomes the negative one
            code_.OpByte(0x10, 31);
            code_.Op(0x7c);  // iushr: 1 exactly when negative
            Push(1);
            Pop(1);
        }
        if (negate) {
            code_.Op(0x04);
            code_.Op(0x82);
            Push(1);
            Pop(1);
        }
        code_.Op(0x85);
        return Pop(1) && Push(2);
    }

    uint16_t maxStack = 0;
    uint16_t Locals() const { return static_cast<uint16_t>(2 + 2 * choices_); }

private:
    // Leaves 1 (int) when the node's value is not zero, else 0.
    bool Truth(const PluralNode& node)
    {
        if (!Emit(node))
            return false;
        code_.Op(0x09);  // lconst_0
        code_.Op(0x94);  // lcmp
        code_.Op(0x59);  // dup
        code_.Op(0x68);  // imul
        return Push(2) && Pop(4) && Push(2) && Pop(1);
    }
    bool Push(int slots)
    {
        depth_ += slots;
        maxStack = static_cast<uint16_t>(std::max<int>(maxStack, depth_));
        return depth_ < 1000;
    }
    bool Pop(int slots)
    {
        depth_ -= slots;
        return true;
    }

    Code& code_;
    Pool& pool_;
    int depth_ = 0;
    int choices_ = 0;
};

// The "plural=" expression of the header's Plural-Forms line; gettext's default without one.
std::string PluralExpression(const std::vector<GettextMessage>& messages)
{
    for (const auto& m : messages) {
        if (m.context || !m.msgid.empty() || m.msgidPlural || m.msgstr.empty())
            continue;
        const std::string& header = m.msgstr.front();
        size_t line = 0;
        while (line < header.size()) {
            size_t end = header.find('\n', line);
            if (end == std::string::npos)
                end = header.size();
            const std::string_view text(header.data() + line, end - line);
            if (text.substr(0, 13) == "Plural-Forms:") {
                const size_t at = text.find("plural=");
                if (at == std::string_view::npos)
                    break;
                std::string_view expression = text.substr(at + 7);
                expression = expression.substr(0, expression.find(';'));
                return std::string(expression);
            }
            line = end + 1;
        }
    }
    return "n != 1";
}

bool IsPrime(uint32_t v)
{
    if (v < 2)
        return false;
    for (uint32_t d = 2; d * d <= v; ++d)
        if (v % d == 0)
            return false;
    return true;
}

// Internal names as a class of a package has them: no empty segment, none of the characters
// the JVM forbids in one.
bool IsClassName(std::string_view name)
{
    if (name.empty() || name.front() == '/' || name.back() == '/' || name.find("//") != std::string_view::npos)
        return false;
    return name.find_first_of(".;[") == std::string_view::npos && IsStrictUtf8(name);
}

struct Encoded {
    std::string key;                      // modified UTF-8
    std::vector<std::string> forms;       // modified UTF-8
    std::optional<std::string> plural;    // msgid_plural, modified UTF-8
    int32_t hash = 0;
};

bool Modified(std::string_view utf8, std::string& out, std::u16string* units = nullptr)
{
    std::u16string u = Utf8ToUtf16Lenient(utf8);
    out = classfile::EncodeModifiedUtf8(u);
    if (units != nullptr)
        *units = std::move(u);
    return out.size() <= 65535;
}

}  // namespace

Result<GettextJavaClasses> WriteGettextJavaBundle(std::string_view className,
                                                  const std::vector<GettextMessage>& messages)
{
    if (!IsClassName(className) || className.size() > 60000)
        return Unwritable(GettextFault::BadClassName, std::string(className));

    // The texts in modified UTF-8, each key once.
    std::vector<Encoded> encoded;
    encoded.reserve(messages.size());
    std::set<std::string, std::less<>> keys;
    bool plural = false;
    for (const GettextMessage& m : messages) {
        const std::string key = m.Key();
        if (m.msgstr.empty() || (!m.msgidPlural && m.msgstr.size() != 1))
            return Unwritable(GettextFault::BadForms, key);
        Encoded& e = encoded.emplace_back();
        std::u16string units;
        bool fits = Modified(key, e.key, &units);
        // Compared as Java will: two keys that differ only in bytes that are no UTF-8 are one.
        if (!keys.insert(e.key).second)
            return Unwritable(GettextFault::DuplicateKey, key);
        e.hash = classfile::JavaStringHash(units);
        for (const std::string& form : m.msgstr)
            fits = Modified(form, e.forms.emplace_back()) && fits;
        if (m.msgidPlural) {
            plural = true;
            fits = Modified(*m.msgidPlural, e.plural.emplace()) && fits;
        }
        if (!fits)
            return Unwritable(GettextFault::TextTooLong, key);
    }

    // Slots at most half full, a prime count so that every step reaches every slot.
    uint32_t slots = std::max<uint32_t>(3, static_cast<uint32_t>(2 * encoded.size() + 1));
    while (!IsPrime(slots))
        ++slots;
    const auto tableLength = static_cast<int32_t>(2 * slots);
    std::vector<int32_t> slotOf(slots, -1);  // message per slot
    for (size_t i = 0; i < encoded.size(); ++i) {
        const auto h = static_cast<uint32_t>(encoded[i].hash) & 0x7FFFFFFFu;
        uint32_t at = h % slots;
        const uint32_t step = (h % (slots - 2)) + 1;
        while (slotOf[at] >= 0)
            at = (at + step) % slots;
        slotOf[at] = static_cast<int32_t>(i);
    }

    const std::string name(className);
    const std::string enumerationName = name + "$1";
    const std::string tableType = plural ? "[Ljava/lang/Object;" : "[Ljava/lang/String;";
    const std::string selfType = "L" + name + ";";
    const size_t slash = name.rfind('/');
    const std::string simpleName = slash == std::string::npos ? name : name.substr(slash + 1);

    // ---- The main class.
    ClassOut main;
    Pool& pool = main.pool;
    main.flags = 0x0021;  // public super
    main.thisClass = pool.Class(name);
    main.superClass = pool.Class("java/util/ResourceBundle");
    const uint16_t stringClass = pool.Class("java/lang/String");
    const uint16_t objectClass = pool.Class("java/lang/Object");
    const uint16_t enumerationClass = pool.Class(enumerationName);
    const uint16_t table = pool.Field(main.thisClass, "table", tableType);
    main.fields.push_back({0x001a, pool.Utf8("table"), pool.Utf8(tableType)});

    auto method = [&](uint16_t flags, std::string_view methodName, std::string_view descriptor) -> MethodOut& {
        MethodOut& m = main.methods.emplace_back();
        m.flags = flags;
        m.name = pool.Utf8(methodName);
        m.descriptor = pool.Utf8(descriptor);
        return m;
    };

    {  // public Messages_xx() { super(); }
        MethodOut& m = method(0x0001, "<init>", "()V");
        m.code.Op(0x2a);
        m.code.Op(0xb7, pool.Method(main.superClass, "<init>", "()V"));
        m.code.Op(0xb1);
        m.maxStack = 1;
        m.maxLocals = 1;
    }

    if (plural) {  // public static final String[] get_msgid_plural_table()
        MethodOut& m = method(0x0019, "get_msgid_plural_table", "()[Ljava/lang/String;");
        std::vector<const Encoded*> plurals;
        for (const int32_t i : slotOf)
            if (i >= 0 && encoded[static_cast<size_t>(i)].plural)
                plurals.push_back(&encoded[static_cast<size_t>(i)]);
        m.code.PushInt(static_cast<int32_t>(plurals.size()));
        m.code.Op(0xbd, stringClass);
        for (size_t j = 0; j < plurals.size(); ++j) {
            m.code.Op(0x59);
            m.code.PushInt(static_cast<int32_t>(j));
            m.code.Ldc(pool.String(*plurals[j]->plural));
            m.code.Op(0x53);
            if (m.code.bytes.size() > kMaxCode)
                return Unwritable(GettextFault::CodeTooLarge, plurals[j]->key);
        }
        m.code.Op(0xb0);
        m.maxStack = 5;
        m.maxLocals = 0;
    }

    {  // handleGetObject (lookup, with plural forms): the open-addressing search
        MethodOut& m = method(0x0001, plural ? "lookup" : "handleGetObject", "(Ljava/lang/String;)Ljava/lang/Object;");
        if (!plural)
            m.exception = pool.Class("java/util/MissingResourceException");
        Code& c = m.code;
        c.Op(0x2b);                                                      // aload_1
        c.Op(0xb6, pool.Method(stringClass, "hashCode", "()I"));         // invokevirtual
        c.Op(0x13, pool.Integer(0x7FFFFFFF));                            // ldc_w
        c.Op(0x7e);                                                      // iand
        c.Op(0x3d);                                                      // istore_2: hash
        c.Op(0x1c);
        c.PushInt(static_cast<int32_t>(slots));
        c.Op(0x70);  // irem
        c.Op(0x04);
        c.Op(0x78);  // ishl
        c.Op(0x3e);  // istore_3: index
        c.Op(0x1c);
        c.PushInt(static_cast<int32_t>(slots - 2));
        c.Op(0x70);
        c.Op(0x04);
        c.Op(0x60);  // iadd
        c.Op(0x04);
        c.Op(0x78);
        c.OpByte(0x36, 4);  // istore 4: step
        auto locals = [&] {
            Frame f;
            f.Local(main.thisClass).Local(stringClass).LocalInt().LocalInt().LocalInt();
            return f;
        };
        const int loop = c.NewLabel(), check = c.NewLabel(), next = c.NewLabel();
        c.Bind(loop, locals().Encoded());
        c.Op(0xb2, table);  // getstatic
        c.Op(0x1d);         // iload_3
        c.Op(0x32);         // aaload
        c.Op(0x59);         // dup
        c.Jump(0xc7, check);  // ifnonnull
        c.Op(0xb0);           // areturn: null, an empty slot ends the search
        c.Bind(check, locals().Stack(objectClass).Encoded());
        c.Op(0x2b);  // aload_1
        c.Op(0x5f);  // swap
        c.Op(0xb6, pool.Method(stringClass, "equals", "(Ljava/lang/Object;)Z"));
        c.Jump(0x99, next);  // ifeq
        c.Op(0xb2, table);
        c.Op(0x1d);
        c.Op(0x04);
        c.Op(0x60);
        c.Op(0x32);
        c.Op(0xb0);
        c.Bind(next, locals().Encoded());
        c.Op(0x1d);
        c.OpByte(0x15, 4);  // iload 4
        c.Op(0x60);
        c.Op(0x3e);
        c.Op(0x1d);
        c.PushInt(tableLength);
        c.Jump(0xa1, loop);  // if_icmplt
        c.Op(0x1d);
        c.PushInt(tableLength);
        c.Op(0x64);  // isub
        c.Op(0x3e);
        c.Jump(0xa7, loop);  // goto
        m.maxStack = 3;
        m.maxLocals = 5;
    }

    if (plural) {  // handleGetObject: the first form of a plural message
        MethodOut& m = method(0x0001, "handleGetObject", "(Ljava/lang/String;)Ljava/lang/Object;");
        m.exception = pool.Class("java/util/MissingResourceException");
        const uint16_t stringArray = pool.Class("[Ljava/lang/String;");
        Code& c = m.code;
        c.Op(0x2a);
        c.Op(0x2b);
        c.Op(0xb6, pool.Method(main.thisClass, "lookup", "(Ljava/lang/String;)Ljava/lang/Object;"));
        c.Op(0x4d);  // astore_2
        c.Op(0x2c);
        c.Op(0xc1, stringArray);  // instanceof
        const int single = c.NewLabel();
        c.Jump(0x99, single);
        c.Op(0x2c);
        c.Op(0xc0, stringArray);  // checkcast
        c.Op(0x03);
        c.Op(0x32);
        c.Op(0xb0);
        Frame f;
        f.Local(main.thisClass).Local(stringClass).Local(objectClass);
        c.Bind(single, f.Encoded());
        c.Op(0x2c);
        c.Op(0xb0);
        m.maxStack = 2;
        m.maxLocals = 3;
    }

    {  // getKeys(): new $1(this)
        MethodOut& m = method(0x0001, "getKeys", "()Ljava/util/Enumeration;");
        m.code.Op(0xbb, enumerationClass);
        m.code.Op(0x59);
        m.code.Op(0x2a);
        m.code.Op(0xb7, pool.Method(enumerationClass, "<init>", "(" + selfType + ")V"));
        m.code.Op(0xb0);
        m.maxStack = 3;
        m.maxLocals = 1;
    }

    if (plural) {  // public static long pluralEval(long n)
        const std::string expression = PluralExpression(messages);
        // Real expressions take a line; the bound keeps the tree, and the recursion over it, small.
        const auto tree = expression.size() <= 2000 ? PluralParser(expression).Parse() : nullptr;
        MethodOut& m = method(0x0009, "pluralEval", "(J)J");
        PluralCompiler compiler(m.code, pool);
        if (!tree || !compiler.Emit(*tree) || m.code.bytes.size() > kMaxCode) {
            Error error = Unwritable(GettextFault::BadPluralForms);
            error.detail = expression;
            return error;
        }
        m.code.Op(0xad);  // lreturn
        m.maxStack = compiler.maxStack;
        m.maxLocals = compiler.Locals();
    }

    {  // public ResourceBundle getParent(): GettextResource falls back through it
        MethodOut& m = method(0x0001, "getParent", "()Ljava/util/ResourceBundle;");
        m.code.Op(0x2a);
        m.code.Op(0xb4, pool.Field(main.thisClass, "parent", "Ljava/util/ResourceBundle;"));
        m.code.Op(0xb0);
        m.maxStack = 1;
        m.maxLocals = 1;
    }

    {  // static synthetic T[] access$000()
        MethodOut& m = method(0x1008, "access$000", "()" + tableType);
        m.code.Op(0xb2, table);
        m.code.Op(0xb0);
        m.maxStack = 1;
        m.maxLocals = 0;
    }

    // The stores of each message, in slot order, grouped into parts that each fit one method.
    std::vector<Code> parts(1);
    for (uint32_t s = 0; s < slots; ++s) {
        const int32_t i = slotOf[s];
        if (i < 0)
            continue;
        const Encoded& e = encoded[static_cast<size_t>(i)];
        Code store;
        const auto index = static_cast<int32_t>(2 * s);
        store.Op(0x2a);  // aload_0: t
        store.PushInt(index);
        store.Ldc(pool.String(e.key));
        store.Op(0x53);
        store.Op(0x2a);
        store.PushInt(index + 1);
        if (e.plural) {
            store.PushInt(static_cast<int32_t>(e.forms.size()));
            store.Op(0xbd, stringClass);
            for (size_t j = 0; j < e.forms.size(); ++j) {
                store.Op(0x59);
                store.PushInt(static_cast<int32_t>(j));
                store.Ldc(pool.String(e.forms[j]));
                store.Op(0x53);
            }
        } else {
            store.Ldc(pool.String(e.forms.front()));
        }
        store.Op(0x53);
        // Room for the part's return, or for <clinit>'s own opening and closing.
        if (store.bytes.size() > kMaxCode - 32)
            return Unwritable(GettextFault::CodeTooLarge, e.key);
        if (parts.back().bytes.size() + store.bytes.size() > kMaxCode - 32)
            parts.emplace_back();
        parts.back().bytes += store.bytes;
    }
    if (pool.full)
        return Unwritable(GettextFault::PoolFull);

    {  // static { T[] t = new T[2p]; stores or clinit_part_k(t); table = t; }
        std::vector<uint16_t> partMethods;
        if (parts.size() > 1) {
            const std::string partDescriptor = "(" + tableType + ")V";
            for (size_t k = 0; k < parts.size(); ++k) {
                const std::string partName = "clinit_part_" + std::to_string(k);
                MethodOut& m = method(0x0008, partName, partDescriptor);
                m.code.bytes = std::move(parts[k].bytes);
                m.code.Op(0xb1);
                m.maxStack = 6;
                m.maxLocals = 1;
                partMethods.push_back(pool.Method(main.thisClass, partName, partDescriptor));
            }
        }
        MethodOut& m = method(0x0008, "<clinit>", "()V");
        Code& c = m.code;
        c.PushInt(tableLength);
        c.Op(0xbd, plural ? objectClass : stringClass);
        c.Op(0x4b);  // astore_0
        if (partMethods.empty()) {
            c.bytes += parts.front().bytes;
        } else {
            for (const uint16_t part : partMethods) {
                c.Op(0x2a);
                c.Op(0xb8, part);  // invokestatic
            }
        }
        c.Op(0x2a);
        c.Op(0xb3, table);  // putstatic
        c.Op(0xb1);
        m.maxStack = 6;
        m.maxLocals = 1;
    }

    std::string innerClasses;
    PutU2(innerClasses, 1);
    PutU2(innerClasses, enumerationClass);
    PutU2(innerClasses, 0);
    PutU2(innerClasses, 0);
    PutU2(innerClasses, 0);
    std::string sourceFile;
    PutU2(sourceFile, pool.Utf8(simpleName + ".java"));
    main.attributes.emplace_back(pool.Utf8("SourceFile"), sourceFile);
    main.attributes.emplace_back(pool.Utf8("InnerClasses"), innerClasses);

    auto mainBytes = main.Bytes();
    if (!mainBytes)
        return std::move(mainBytes).error();

    // ---- $1: the Enumeration of the keys, over the table's even slots.
    ClassOut walk;
    Pool& wp = walk.pool;
    walk.flags = 0x0020;  // super; package access, as javac gives an anonymous class
    walk.thisClass = wp.Class(enumerationName);
    walk.superClass = wp.Class("java/lang/Object");
    walk.interfaces.push_back(wp.Class("java/util/Enumeration"));
    const uint16_t outer = wp.Class(name);
    const uint16_t idx = wp.Field(walk.thisClass, "idx", "I");
    const uint16_t owner = wp.Field(walk.thisClass, "this$0", selfType);
    const uint16_t getTable = wp.Method(outer, "access$000", "()" + tableType);
    const uint16_t walkObject = wp.Class("java/lang/Object");
    walk.fields.push_back({0x0002, wp.Utf8("idx"), wp.Utf8("I")});
    walk.fields.push_back({0x1010, wp.Utf8("this$0"), wp.Utf8(selfType)});
    auto walkMethod = [&](uint16_t flags, std::string_view methodName, std::string_view descriptor) -> MethodOut& {
        MethodOut& m = walk.methods.emplace_back();
        m.flags = flags;
        m.name = wp.Utf8(methodName);
        m.descriptor = wp.Utf8(descriptor);
        return m;
    };
    {  // $1(Messages_xx outer) { this$0 = outer; super(); idx = 0; skip empty slots }
        MethodOut& m = walkMethod(0x0000, "<init>", "(" + selfType + ")V");
        Code& c = m.code;
        c.Op(0x2a);
        c.Op(0x2b);
        c.Op(0xb5, owner);  // putfield
        c.Op(0x2a);
        c.Op(0xb7, wp.Method(walkObject, "<init>", "()V"));
        c.Op(0x2a);
        c.Op(0x03);
        c.Op(0xb5, idx);
        Frame f;
        f.Local(walk.thisClass).Local(outer);
        const int loop = c.NewLabel(), done = c.NewLabel();
        c.Bind(loop, f.Encoded());
        c.Op(0x2a);
        c.Op(0xb4, idx);  // getfield
        c.PushInt(tableLength);
        c.Jump(0xa2, done);  // if_icmpge
        c.Op(0xb8, getTable);
        c.Op(0x2a);
        c.Op(0xb4, idx);
        c.Op(0x32);
        c.Jump(0xc7, done);  // ifnonnull
        c.Op(0x2a);
        c.Op(0x59);
        c.Op(0xb4, idx);
        c.Op(0x05);  // iconst_2
        c.Op(0x60);
        c.Op(0xb5, idx);
        c.Jump(0xa7, loop);
        c.Bind(done, f.Encoded());
        c.Op(0xb1);
        m.maxStack = 3;
        m.maxLocals = 2;
    }
    {  // public boolean hasMoreElements() { return idx < 2p; }
        MethodOut& m = walkMethod(0x0001, "hasMoreElements", "()Z");
        Code& c = m.code;
        c.Op(0x2a);
        c.Op(0xb4, idx);
        c.PushInt(tableLength);
        const int no = c.NewLabel();
        c.Jump(0xa2, no);
        c.Op(0x04);
        c.Op(0xac);  // ireturn
        Frame f;
        f.Local(walk.thisClass);
        c.Bind(no, f.Encoded());
        c.Op(0x03);
        c.Op(0xac);
        m.maxStack = 3;
        m.maxLocals = 1;
    }
    {  // public Object nextElement(): the key at idx, then on to the next full slot
        MethodOut& m = walkMethod(0x0001, "nextElement", "()Ljava/lang/Object;");
        Code& c = m.code;
        c.Op(0xb8, getTable);
        c.Op(0x2a);
        c.Op(0xb4, idx);
        c.Op(0x32);
        c.Op(0x4c);  // astore_1
        Frame f;
        f.Local(walk.thisClass).Local(walkObject);
        const int loop = c.NewLabel(), done = c.NewLabel();
        c.Bind(loop, f.Encoded());
        c.Op(0x2a);
        c.Op(0x59);
        c.Op(0xb4, idx);
        c.Op(0x05);
        c.Op(0x60);
        c.Op(0xb5, idx);
        c.Op(0x2a);
        c.Op(0xb4, idx);
        c.PushInt(tableLength);
        c.Jump(0xa2, done);
        c.Op(0xb8, getTable);
        c.Op(0x2a);
        c.Op(0xb4, idx);
        c.Op(0x32);
        c.Jump(0xc6, loop);  // ifnull
        c.Bind(done, f.Encoded());
        c.Op(0x2b);
        c.Op(0xb0);
        m.maxStack = 3;
        m.maxLocals = 2;
    }
    std::string enclosing;
    PutU2(enclosing, outer);
    PutU2(enclosing, wp.NameAndType("getKeys", "()Ljava/util/Enumeration;"));
    std::string walkInner;
    PutU2(walkInner, 1);
    PutU2(walkInner, walk.thisClass);
    PutU2(walkInner, 0);
    PutU2(walkInner, 0);
    PutU2(walkInner, 0);
    std::string walkSource;
    PutU2(walkSource, wp.Utf8(simpleName + ".java"));
    walk.attributes.emplace_back(wp.Utf8("SourceFile"), walkSource);
    walk.attributes.emplace_back(wp.Utf8("EnclosingMethod"), enclosing);
    walk.attributes.emplace_back(wp.Utf8("InnerClasses"), walkInner);
    auto walkBytes = walk.Bytes();
    if (!walkBytes)
        return std::move(walkBytes).error();

    GettextJavaClasses out;
    out.mainPath = name + ".class";
    out.mainBytes = std::move(*mainBytes);
    out.enumerationPath = enumerationName + ".class";
    out.enumerationBytes = std::move(*walkBytes);
    return out;
}

}  // namespace cl::bundle

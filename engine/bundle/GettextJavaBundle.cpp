#include "bundle/GettextJavaBundle.h"

#include "classfile/ClassFile.h"
#include "classfile/ModifiedUtf8.h"
#include "text/CodePoints.h"

#include <algorithm>
#include <array>
#include <map>
#include <optional>
#include <set>
#include <utility>

namespace cl::bundle {

namespace {

using classfile::ClassFile;
using classfile::Tag;

constexpr std::string_view kTableField = "table";
constexpr std::string_view kStringArray = "[Ljava/lang/String;";
constexpr std::string_view kObjectArray = "[Ljava/lang/Object;";

Error Fault(GettextFault fault, uint64_t offset = 0)
{
    Error error(ErrorKind::NotAGettextBundle);
    error.fault = static_cast<uint16_t>(fault);
    error.offset = offset;
    return error;
}

// What the straight-line code of a table initializer leaves on the stack or in a local: no
// branch, no call but to its own parts, so one pass over each method's instructions runs it.
struct Value {
    enum Kind : uint8_t { Empty, Null, Int, Text, Array } kind = Empty;
    int32_t number = 0;     // Int
    uint16_t text = 0;      // Text: the Utf8 entry of the CONSTANT_String
    uint32_t array = 0;     // Array: index into Machine::arrays
};

struct ArrayValue {
    bool ofStrings = false;  // String[] (else Object[])
    int32_t length = 0;
    // Every aastore in execution order; a later store to an index replaces the earlier one.
    std::vector<std::pair<int32_t, Value>> stores;
};

// Longer tables than any class can fill: a key and a msgstr are two constants of a pool of at
// most 65535, and msgfmt keeps the table at most about three times the messages. The bound
// keeps a hostile `new String[huge]` from asking for memory; stores are kept sparse anyway.
constexpr int32_t kMaxArrayLength = 1 << 22;

class Machine {
public:
    explicit Machine(const ClassFile& file) : file_(file) {}

    std::vector<ArrayValue> arrays;
    std::optional<Value> table;  // what `putstatic table` stored
    std::optional<Value> returned;

    // Runs method `index` with `argument` (a part's T[] t) in local 0 when it has one.
    // Returns false with `fault`/`offset` set when the code leaves the layout.
    bool Run(uint16_t methodIndex, std::optional<Value> argument, int depth)
    {
        const classfile::CodeInfo* code = CodeOf(methodIndex);
        if (code == nullptr)
            return Fail(GettextFault::NoInitializer, 0);
        std::array<Value, 256> locals{};
        if (argument)
            locals[0] = *argument;
        std::vector<Value> stack;
        const uint8_t* bytes = file_.bytes.data() + code->codeOffset;
        const uint32_t length = code->codeLength;
        uint32_t pc = 0;
        auto fail = [&](uint32_t at) { return Fail(GettextFault::UnknownCode, code->codeOffset + at); };
        auto pop = [&](Value& out) {
            if (stack.empty())
                return false;
            out = stack.back();
            stack.pop_back();
            return true;
        };
        auto u1 = [&](uint32_t at) -> uint32_t { return at < length ? bytes[at] : 0; };
        auto u2 = [&](uint32_t at) -> uint32_t { return (u1(at) << 8) | u1(at + 1); };
        while (pc < length) {
            const uint32_t at = pc;
            const uint8_t op = bytes[pc];
            // The parser checked that every instruction lies inside the code.
            if (stack.size() > 64)
                return fail(at);
            switch (op) {
                case 0x00:  // nop
                    pc += 1;
                    break;
                case 0x01:  // aconst_null
                    stack.push_back({Value::Null});
                    pc += 1;
                    break;
                case 0x02: case 0x03: case 0x04: case 0x05: case 0x06: case 0x07: case 0x08:  // iconst_m1..5
                    stack.push_back({Value::Int, op - 0x03});
                    pc += 1;
                    break;
                case 0x10:  // bipush
                    stack.push_back({Value::Int, static_cast<int8_t>(u1(pc + 1))});
                    pc += 2;
                    break;
                case 0x11:  // sipush
                    stack.push_back({Value::Int, static_cast<int16_t>(u2(pc + 1))});
                    pc += 3;
                    break;
                case 0x12:    // ldc
                case 0x13: {  // ldc_w
                    const uint16_t index = op == 0x12 ? static_cast<uint16_t>(u1(pc + 1)) : static_cast<uint16_t>(u2(pc + 1));
                    pc += op == 0x12 ? 2 : 3;
                    if (const auto* c = file_.At(index, Tag::String)) {
                        if (file_.At(c->StringIndex(), Tag::Utf8) == nullptr)
                            return fail(at);
                        stack.push_back({Value::Text, 0, c->StringIndex()});
                    } else if (const auto* i = file_.At(index, Tag::Integer)) {
                        const uint8_t* v = file_.bytes.data() + i->offset + 1;
                        const uint32_t word = (uint32_t{v[0]} << 24) | (uint32_t{v[1]} << 16) | (uint32_t{v[2]} << 8) | v[3];
                        stack.push_back({Value::Int, static_cast<int32_t>(word)});
                    } else {
                        return fail(at);
                    }
                    break;
                }
                case 0x19:  // aload
                case 0x2a: case 0x2b: case 0x2c: case 0x2d: {
                    const uint32_t slot = op == 0x19 ? u1(pc + 1) : static_cast<uint32_t>(op - 0x2a);
                    pc += op == 0x19 ? 2 : 1;
                    const Value v = locals[slot];
                    if (v.kind != Value::Array && v.kind != Value::Null && v.kind != Value::Text)
                        return fail(at);
                    stack.push_back(v);
                    break;
                }
                case 0x3a:  // astore
                case 0x4b: case 0x4c: case 0x4d: case 0x4e: {
                    const uint32_t slot = op == 0x3a ? u1(pc + 1) : static_cast<uint32_t>(op - 0x4b);
                    pc += op == 0x3a ? 2 : 1;
                    Value v;
                    if (!pop(v) || v.kind == Value::Int)
                        return fail(at);
                    locals[slot] = v;
                    break;
                }
                case 0x53: {  // aastore
                    Value value, index, array;
                    if (!pop(value) || !pop(index) || !pop(array))
                        return fail(at);
                    if (array.kind != Value::Array || index.kind != Value::Int || value.kind == Value::Int)
                        return fail(at);
                    ArrayValue& target = arrays[array.array];
                    if (index.number < 0 || index.number >= target.length)
                        return fail(at);  // ArrayIndexOutOfBoundsException
                    // ArrayStoreException: a String[] takes no array.
                    if (target.ofStrings && value.kind == Value::Array)
                        return fail(at);
                    target.stores.emplace_back(index.number, value);
                    pc += 1;
                    break;
                }
                case 0x59:  // dup
                    if (stack.empty())
                        return fail(at);
                    stack.push_back(stack.back());
                    pc += 1;
                    break;
                case 0x60: case 0x64: case 0x68: case 0x78: case 0x80: {  // iadd isub imul ishl ior
                    Value b, a;
                    if (!pop(b) || !pop(a) || a.kind != Value::Int || b.kind != Value::Int)
                        return fail(at);
                    const uint32_t x = static_cast<uint32_t>(a.number), y = static_cast<uint32_t>(b.number);
                    uint32_t r = 0;
                    switch (op) {
                        case 0x60: r = x + y; break;
                        case 0x64: r = x - y; break;
                        case 0x68: r = x * y; break;
                        case 0x78: r = x << (y & 31); break;
                        default: r = x | y; break;
                    }
                    stack.push_back({Value::Int, static_cast<int32_t>(r)});
                    pc += 1;
                    break;
                }
                case 0xb0: {  // areturn (get_msgid_plural_table)
                    Value v;
                    if (!pop(v))
                        return fail(at);
                    returned = v;
                    return true;
                }
                case 0xb1:  // return
                    return true;
                case 0xb3: {  // putstatic table
                    const auto member = file_.MemberOf(static_cast<uint16_t>(u2(pc + 1)));
                    Value v;
                    if (!member || member->className != file_.ThisClassName() || member->name != kTableField ||
                        !pop(v) || v.kind != Value::Array || table)
                        return fail(at);
                    table = v;
                    pc += 3;
                    break;
                }
                case 0xb8: {  // invokestatic clinit_part_N(t)
                    const auto member = file_.MemberOf(static_cast<uint16_t>(u2(pc + 1)));
                    if (!member || depth > 0 || member->className != file_.ThisClassName() ||
                        (member->descriptor != "([Ljava/lang/String;)V" && member->descriptor != "([Ljava/lang/Object;)V"))
                        return fail(at);
                    const std::optional<uint16_t> callee = MethodNamed(member->name, member->descriptor);
                    Value v;
                    if (!callee || !pop(v) || v.kind != Value::Array || !called_.insert(*callee).second)
                        return fail(at);
                    if (!Run(*callee, v, depth + 1))
                        return false;
                    pc += 3;
                    break;
                }
                case 0xbd: {  // anewarray
                    const std::string_view element = file_.ClassName(static_cast<uint16_t>(u2(pc + 1)));
                    Value count;
                    if ((element != "java/lang/String" && element != "java/lang/Object") || !pop(count) ||
                        count.kind != Value::Int || count.number < 0 || count.number > kMaxArrayLength)
                        return fail(at);
                    arrays.push_back({element == "java/lang/String", count.number, {}});
                    stack.push_back({Value::Array, 0, 0, static_cast<uint32_t>(arrays.size() - 1)});
                    pc += 3;
                    break;
                }
                default:
                    return fail(at);
            }
        }
        return fail(length);  // ran off the end without a return
    }

    std::optional<uint16_t> MethodNamed(std::string_view name, std::string_view descriptor) const
    {
        for (size_t i = 0; i < file_.methods.size(); ++i) {
            const auto& m = file_.methods[i];
            if (file_.Utf8Bytes(m.nameIndex) == name && file_.Utf8Bytes(m.descriptorIndex) == descriptor &&
                (m.accessFlags & 0x0008) != 0)
                return static_cast<uint16_t>(i);
        }
        return std::nullopt;
    }

    GettextFault fault = GettextFault::None;
    uint64_t offset = 0;

private:
    const classfile::CodeInfo* CodeOf(uint16_t methodIndex) const
    {
        for (const auto& code : file_.codes)
            if (code.method == methodIndex)
                return &code;
        return nullptr;
    }
    bool Fail(GettextFault why, uint64_t where)
    {
        fault = why;
        offset = where;
        return false;
    }

    const ClassFile& file_;
    std::set<uint16_t> called_;
};

// The array's elements by index, the last store to each winning; false when one of the first
// `length` indexes is never stored (only the table has empty slots).
std::vector<std::pair<int32_t, Value>> Elements(const ArrayValue& array)
{
    std::vector<std::pair<int32_t, Value>> stores = array.stores;
    std::stable_sort(stores.begin(), stores.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<std::pair<int32_t, Value>> last;
    for (const auto& store : stores) {
        if (!last.empty() && last.back().first == store.first)
            last.back() = store;
        else
            last.push_back(store);
    }
    // A stored null is an empty element.
    std::erase_if(last, [](const auto& e) { return e.second.kind == Value::Null; });
    return last;
}

bool TextOf(const ClassFile& file, uint16_t utf8, std::string& out)
{
    std::u16string units;
    if (!classfile::DecodeModifiedUtf8(file.Utf8Bytes(utf8), units).Ok())
        return false;
    out = Utf16ToUtf8(units);
    return true;
}

// A String[] whose every element 0..length-1 is a text.
bool TextsOf(const ClassFile& file, const ArrayValue& array, std::vector<std::string>& out)
{
    const auto elements = Elements(array);
    if (!array.ofStrings || elements.size() != static_cast<size_t>(array.length))
        return false;
    out.clear();
    for (const auto& [index, value] : elements) {
        if (value.kind != Value::Text)
            return false;
        if (!TextOf(file, value.text, out.emplace_back()))
            return false;
    }
    return true;
}

}  // namespace

std::string GettextMessage::Key() const
{
    return context ? *context + '\x04' + msgid : msgid;
}

Result<GettextJavaBundle> ReadGettextJavaBundle(std::string_view classBytes)
{
    const ClassFile file =
        classfile::ParseClassFile(reinterpret_cast<const uint8_t*>(classBytes.data()), classBytes.size());
    if (!file.parsed)
        return Fault(GettextFault::ClassUnreadable, file.errorOffset);
    if (file.ClassName(file.superClass) != "java/util/ResourceBundle")
        return Fault(GettextFault::NotAResourceBundle);

    bool objectTable = false;
    bool haveTable = false;
    for (const auto& field : file.fields) {
        const std::string_view descriptor = file.Utf8Bytes(field.descriptorIndex);
        if (file.Utf8Bytes(field.nameIndex) == kTableField && (field.accessFlags & 0x0008) != 0 &&
            (descriptor == kStringArray || descriptor == kObjectArray)) {
            haveTable = true;
            objectTable = descriptor == kObjectArray;
        }
    }
    if (!haveTable)
        return Fault(GettextFault::NoTable);

    Machine machine(file);
    const auto clinit = machine.MethodNamed("<clinit>", "()V");
    if (!clinit)
        return Fault(GettextFault::NoInitializer);
    if (!machine.Run(*clinit, std::nullopt, 0))
        return Fault(machine.fault, machine.offset);
    if (!machine.table)
        return Fault(GettextFault::NoInitializer);
    const ArrayValue& table = machine.arrays[machine.table->array];
    if (table.ofStrings == objectTable || table.length % 2 != 0)
        return Fault(GettextFault::BadTable);

    GettextJavaBundle bundle;
    bundle.className = std::string(file.ThisClassName());
    bundle.majorVersion = file.majorVersion;
    const auto slots = Elements(table);
    std::vector<size_t> plurals;  // messages with a String[], in slot order
    std::set<std::string, std::less<>> keys;
    for (size_t i = 0; i < slots.size();) {
        const auto& [keyIndex, key] = slots[i];
        if (keyIndex % 2 != 0 || i + 1 >= slots.size() || slots[i + 1].first != keyIndex + 1 ||
            key.kind != Value::Text)
            return Fault(GettextFault::BadTable);
        const Value& value = slots[i + 1].second;
        GettextMessage message;
        std::string keyText;
        if (!TextOf(file, key.text, keyText))
            return Fault(GettextFault::BadText);
        if (const size_t glue = keyText.find('\x04'); glue != std::string::npos) {
            message.context = keyText.substr(0, glue);
            message.msgid = keyText.substr(glue + 1);
        } else {
            message.msgid = std::move(keyText);
        }
        if (value.kind == Value::Text) {
            if (!TextOf(file, value.text, message.msgstr.emplace_back()))
                return Fault(GettextFault::BadText);
        } else if (value.kind == Value::Array && value.array != machine.table->array) {
            if (!TextsOf(file, machine.arrays[value.array], message.msgstr) || message.msgstr.empty())
                return Fault(GettextFault::BadTable);
            plurals.push_back(bundle.messages.size());
        } else {
            return Fault(GettextFault::BadTable);
        }
        // msgfmt writes each key once; with two, which one Java finds depends on the probing.
        if (!keys.insert(message.Key()).second)
            return Fault(GettextFault::BadTable);
        bundle.messages.push_back(std::move(message));
        i += 2;
    }

    if (!plurals.empty()) {
        Machine pluralMachine(file);
        const auto method = pluralMachine.MethodNamed("get_msgid_plural_table", "()[Ljava/lang/String;");
        if (!method || !pluralMachine.Run(*method, std::nullopt, 1) || !pluralMachine.returned ||
            pluralMachine.returned->kind != Value::Array)
            return Fault(GettextFault::BadPluralTable);
        std::vector<std::string> msgidPlurals;
        if (!TextsOf(file, pluralMachine.arrays[pluralMachine.returned->array], msgidPlurals) ||
            msgidPlurals.size() != plurals.size())
            return Fault(GettextFault::BadPluralTable);
        for (size_t i = 0; i < plurals.size(); ++i)
            bundle.messages[plurals[i]].msgidPlural = std::move(msgidPlurals[i]);
    }
    return bundle;
}

std::string GettextBundleClassName(std::string_view base, std::string_view language)
{
    std::string name(base);
    std::replace(name.begin(), name.end(), '.', '/');
    if (!language.empty())
        name += "_" + std::string(language);
    return name;
}

std::vector<GettextMessage> MergeGettextMessages(const std::vector<GettextMessage>& existing,
                                                 const std::vector<GettextMessage>& updates)
{
    std::vector<GettextMessage> merged = existing;
    std::map<std::string, size_t, std::less<>> at;
    for (size_t i = 0; i < merged.size(); ++i)
        at.emplace(merged[i].Key(), i);
    for (const GettextMessage& update : updates) {
        const bool translates =
            std::any_of(update.msgstr.begin(), update.msgstr.end(), [](const std::string& s) { return !s.empty(); });
        if (!translates)
            continue;
        const auto [place, added] = at.emplace(update.Key(), merged.size());
        if (added)
            merged.push_back(update);
        else
            merged[place->second] = update;
    }
    return merged;
}

Result<GettextJavaClasses> UpdateGettextJavaBundle(std::string_view classBytes,
                                                   const std::vector<GettextMessage>& updates)
{
    auto bundle = ReadGettextJavaBundle(classBytes);
    if (!bundle)
        return std::move(bundle).error();
    return WriteGettextJavaBundle(bundle->className, MergeGettextMessages(bundle->messages, updates));
}

}  // namespace cl::bundle

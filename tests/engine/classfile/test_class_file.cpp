// Parsing hand-made class files: the layout the rewriter relies on (entry offsets, sizes and
// the end of the pool), the facts gathered from bytecode, and where and why a broken file
// stops parsing.

#include "classfile/ClassFile.h"

#include "ClassFileBuilder.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

using namespace cl::classfile;
using cl::testing::Bytes;
using cl::testing::ClassFileBuilder;

namespace {

ClassFile Parse(const std::vector<uint8_t>& bytes)
{
    return ParseClassFile(bytes.data(), bytes.size());
}

std::vector<uint8_t> Switch(uint8_t opcode, uint32_t pc, std::vector<int32_t> keys)
{
    Bytes b;
    b.U1(opcode);
    while ((pc + b.size()) % 4 != 0)
        b.U1(0);
    b.U4(0);  // default
    if (opcode == 0xAA) {
        b.U4(static_cast<uint32_t>(keys.front())).U4(static_cast<uint32_t>(keys.back()));
        for (int64_t v = keys.front(); v <= keys.back(); ++v)
            b.U4(0);
    } else {
        b.U4(static_cast<uint32_t>(keys.size()));
        for (const int32_t k : keys)
            b.U4(static_cast<uint32_t>(k)).U4(0);
    }
    return b.data;
}

TEST(ClassFileParse, PoolLayoutIsExactSoEntriesCanBeReserialised)
{
    ClassFileBuilder b;
    const uint16_t hello = b.String("Hello");
    const uint16_t wide = b.Long(-2);
    const uint16_t after = b.Utf8("after");
    const uint16_t println = b.Methodref("java/io/PrintStream", "println", "(Ljava/lang/String;)V");
    const uint16_t handle = b.MethodHandle(6, b.Methodref("Sample", "run", "()V"));
    b.Method("run", "()V", {b.Code({0x12, static_cast<uint8_t>(hello), 0xB1})});
    const std::vector<uint8_t> bytes = b.Build();
    const ClassFile cf = Parse(bytes);

    ASSERT_TRUE(cf.parsed) << ReasonWord(cf.error) << " at " << cf.errorOffset;
    EXPECT_EQ(cf.majorVersion, 61);
    EXPECT_EQ(cf.constantPoolCount, b.PoolCount());
    ASSERT_EQ(cf.pool.size(), b.PoolCount());
    EXPECT_EQ(cf.poolEnd, b.PoolEnd());
    // The usable entries, laid end to end by offset and size, are exactly the pool's bytes.
    std::vector<uint8_t> joined;
    for (uint16_t i = 1; i < cf.pool.size(); ++i) {
        const Constant& c = cf.pool[i];
        if (c.tag == Tag::Unusable)
            continue;
        EXPECT_EQ(c.offset, b.EntryOffset(i)) << "entry " << i;
        joined.insert(joined.end(), bytes.begin() + c.offset, bytes.begin() + c.offset + c.size);
    }
    EXPECT_EQ(joined, std::vector<uint8_t>(bytes.begin() + 10, bytes.begin() + static_cast<long>(cf.poolEnd)));

    EXPECT_EQ(cf.pool[wide].tag, Tag::Long);
    EXPECT_EQ(cf.pool[wide + 1].tag, Tag::Unusable);
    EXPECT_EQ(cf.At(static_cast<uint16_t>(wide + 1)), nullptr);
    EXPECT_EQ(cf.Utf8Bytes(after), "after");
    EXPECT_EQ(cf.Utf8Bytes(cf.pool[hello].StringIndex()), "Hello");
    EXPECT_EQ(cf.Utf8Bytes(hello), "");  // a String entry is not Utf8
    EXPECT_EQ(cf.ThisClassName(), "Sample");
    EXPECT_EQ(cf.ClassName(cf.superClass), "java/lang/Object");
    const auto member = cf.MemberOf(println);
    ASSERT_TRUE(member);
    EXPECT_EQ(member->className, "java/io/PrintStream");
    EXPECT_EQ(member->name, "println");
    EXPECT_EQ(member->descriptor, "(Ljava/lang/String;)V");
    const auto target = cf.MethodHandleMember(handle);
    ASSERT_TRUE(target);
    EXPECT_EQ(target->name, "run");
    EXPECT_EQ(cf.pool[handle].referenceKind, 6);
    EXPECT_FALSE(cf.MemberOf(after));
    ASSERT_EQ(cf.methods.size(), 1u);
    EXPECT_EQ(cf.Utf8Bytes(cf.methods[0].nameIndex), "run");
    EXPECT_EQ(cf.Utf8Bytes(cf.methods[0].descriptorIndex), "()V");
}

TEST(ClassFileParse, BytecodeWalkFollowsPaddingAndWideForms)
{
    // A switch at each alignment, a wide iinc and a wide load, then an ldc_w whose pc proves
    // every earlier length was right.
    for (uint32_t nops = 0; nops < 4; ++nops) {
        ClassFileBuilder b;
        const uint16_t first = b.String("first");
        const uint16_t last = b.String("last");
        const uint16_t hash = b.Methodref("java/lang/String", "hashCode", "()I");
        const uint16_t site = b.InvokeDynamic(0, "run", "()Ljava/lang/Runnable;");
        const uint16_t bootstrap = b.MethodHandle(6, b.Methodref("Boot", "make", "()V"));
        Bytes code;
        code.U1(0x12).U1(first);  // ldc
        for (uint32_t k = 0; k < nops; ++k)
            code.U1(0x00);
        code.U1(0xB6).U2(hash);  // invokevirtual String.hashCode
        code.Append(std::vector<uint8_t>{});
        code.data = [&] {
            auto v = code.data;
            const auto s = Switch(0xAB, static_cast<uint32_t>(v.size()), {-5, 7, 1000});
            v.insert(v.end(), s.begin(), s.end());
            const auto t = Switch(0xAA, static_cast<uint32_t>(v.size()), {3, 6});
            v.insert(v.end(), t.begin(), t.end());
            return v;
        }();
        code.U1(0xC4).U1(0x84).U2(300).U2(1);  // wide iinc
        code.U1(0xC4).U1(0x19).U2(300);        // wide aload
        code.U1(0xBA).U2(site).U2(0);          // invokedynamic
        const auto lastPc = static_cast<uint32_t>(code.size());
        code.U1(0x13).U2(last);  // ldc_w
        code.U1(0xB1);
        b.Method("m", "()V", {b.Code(code.data)});
        b.ClassAttribute(b.Attr("BootstrapMethods", Bytes().U2(1).U2(bootstrap).U2(0).data));
        const ClassFile cf = Parse(b.Build());

        ASSERT_TRUE(cf.parsed) << nops << ": " << ReasonWord(cf.error) << " at " << cf.errorOffset;
        ASSERT_EQ(cf.codes.size(), 1u);
        const CodeInfo& info = cf.codes[0];
        EXPECT_TRUE(info.callsStringHashCode);
        ASSERT_EQ(info.strings.size(), 2u);
        EXPECT_EQ(info.strings[0].pc, 0u);
        EXPECT_EQ(info.strings[0].stringIndex, first);
        EXPECT_EQ(info.strings[1].pc, lastPc) << nops;
        EXPECT_EQ(info.strings[1].stringIndex, last);
        EXPECT_EQ(info.switchKeys, (std::vector<int32_t>{-5, 7, 1000, 3, 4, 5, 6})) << nops;
        ASSERT_EQ(info.invokeDynamics.size(), 1u);
        EXPECT_EQ(info.invokeDynamics[0].invokeDynamicIndex, site);
        EXPECT_EQ(info.invokeDynamics[0].pc, lastPc - 5);
        ASSERT_EQ(cf.bootstrapMethods.size(), 1u);
        EXPECT_EQ(cf.bootstrapMethods[0].methodHandleIndex, bootstrap);
    }
}

TEST(ClassFileParse, HashCodeOfAnotherClassIsNotStringHashCode)
{
    for (const char* owner : {"java/lang/Object", "java/lang/StringBuilder"}) {
        ClassFileBuilder b;
        const uint16_t hash = b.Methodref(owner, "hashCode", "()I");
        b.Method("m", "()V", {b.Code(Bytes().U1(0xB6).U2(hash).U1(0xB1).data)});
        const ClassFile cf = Parse(b.Build());
        ASSERT_TRUE(cf.parsed);
        EXPECT_FALSE(cf.codes.at(0).callsStringHashCode) << owner;
    }
}

// A broken file and where it must stop.
struct Broken {
    std::vector<uint8_t> bytes;
    ParseError reason;
    size_t offset;
};

std::vector<uint8_t> WithCode(ClassFileBuilder& b, std::vector<uint8_t> code)
{
    b.Method("m", "()V", {b.Code(std::move(code))});
    return b.Build();
}

TEST(ClassFileParse, BrokenFilesStopWhereTheFaultIs)
{
    const std::vector<std::pair<const char*, std::function<Broken()>>> cases = {
        {"bad magic",
         [] {
             auto bytes = ClassFileBuilder().Build();
             bytes[3] = 0xBF;
             return Broken{bytes, ParseError::BadMagic, 0};
         }},
        {"one byte past the class",
         [] {
             auto bytes = ClassFileBuilder().Build();
             const size_t end = bytes.size();
             bytes.push_back(0);
             return Broken{bytes, ParseError::TrailingBytes, end};
         }},
        {"undefined constant tag",
         [] {
             ClassFileBuilder b;
             const uint16_t bad = b.Raw({2, 0, 0});
             auto bytes = b.Build();
             return Broken{bytes, ParseError::BadConstantTag, b.EntryOffset(bad)};
         }},
        {"String naming an Integer",
         [] {
             ClassFileBuilder b;
             const uint16_t number = b.Integer(5);
             const uint16_t bad = b.Raw(Bytes().U1(8).U2(number).data);
             auto bytes = b.Build();
             return Broken{bytes, ParseError::BadIndex, b.EntryOffset(bad) + 1};
         }},
        {"Class naming an index past the pool",
         [] {
             ClassFileBuilder b;
             const uint16_t bad = b.Raw(Bytes().U1(7).U2(99).data);
             auto bytes = b.Build();
             return Broken{bytes, ParseError::BadIndex, b.EntryOffset(bad) + 1};
         }},
        {"Long in the last slot",
         [] {
             ClassFileBuilder b;
             const uint16_t wide = b.Long(1);
             auto bytes = b.Build();
             bytes[9] = static_cast<uint8_t>(bytes[9] - 1);  // the count leaves no second slot
             return Broken{bytes, ParseError::BadIndex, b.EntryOffset(wide)};
         }},
        {"method handle kind 10",
         [] {
             ClassFileBuilder b;
             const uint16_t bad = b.MethodHandle(10, b.Methodref("A", "b", "()V"));
             auto bytes = b.Build();
             return Broken{bytes, ParseError::BadReferenceKind, b.EntryOffset(bad) + 1};
         }},
        {"getField handle naming a method",
         [] {
             ClassFileBuilder b;
             const uint16_t bad = b.MethodHandle(1, b.Methodref("A", "b", "()V"));
             auto bytes = b.Build();
             return Broken{bytes, ParseError::BadIndex, b.EntryOffset(bad) + 2};
         }},
        {"invokedynamic without bootstrap methods",
         [] {
             ClassFileBuilder b;
             const uint16_t bad = b.InvokeDynamic(0, "run", "()V");
             auto bytes = b.Build();
             return Broken{bytes, ParseError::BadBootstrapIndex, b.EntryOffset(bad) + 1};
         }},
        {"empty code",
         [] {
             ClassFileBuilder b;
             auto bytes = WithCode(b, {});
             return Broken{bytes, ParseError::BadCodeLength, bytes.size() - 6 - 4};
         }},
        {"undefined opcode",
         [] {
             ClassFileBuilder b;
             auto bytes = WithCode(b, {0x00, 0xCA, 0xB1});
             return Broken{bytes, ParseError::BadOpcode, bytes.size() - 6 - 2};
         }},
        {"sipush cut by the end of the code",
         [] {
             ClassFileBuilder b;
             auto bytes = WithCode(b, {0x00, 0x11, 0x01});
             return Broken{bytes, ParseError::InstructionPastEnd, bytes.size() - 6 - 2};
         }},
        {"wide of a non-local instruction",
         [] {
             ClassFileBuilder b;
             auto bytes = WithCode(b, {0xC4, 0x60, 0x00, 0x00, 0xB1});
             return Broken{bytes, ParseError::BadOpcode, bytes.size() - 6 - 4};
         }},
        {"tableswitch high below low",
         [] {
             ClassFileBuilder b;
             auto code = Switch(0xAA, 0, {4, 4});
             code[15] = 3;  // high = 3 < low = 4
             auto bytes = WithCode(b, code);
             return Broken{bytes, ParseError::BadSwitch, bytes.size() - 6 - code.size()};
         }},
        {"lookupswitch with a negative pair count",
         [] {
             ClassFileBuilder b;
             auto code = Switch(0xAB, 0, {});
             code[8] = 0xFF;  // npairs
             auto bytes = WithCode(b, code);
             return Broken{bytes, ParseError::BadSwitch, bytes.size() - 6 - code.size()};
         }},
        {"lookupswitch pairs past the end",
         [] {
             ClassFileBuilder b;
             auto code = Switch(0xAB, 0, {1});
             code[11] = 2;  // two pairs, room for one
             auto bytes = WithCode(b, code);
             return Broken{bytes, ParseError::InstructionPastEnd, bytes.size() - 6 - code.size()};
         }},
        {"ldc of a Utf8 entry",
         [] {
             ClassFileBuilder b;
             const uint16_t text = b.Utf8("text");
             auto bytes = WithCode(b, {0x12, static_cast<uint8_t>(text), 0xB1});
             return Broken{bytes, ParseError::BadIndex, bytes.size() - 6 - 2};
         }},
        {"Signature longer than its index",
         [] {
             ClassFileBuilder b;
             b.ClassAttribute(b.Attr("Signature", Bytes().U2(b.Utf8("LX;")).U1(0).data));
             auto bytes = b.Build();
             return Broken{bytes, ParseError::AttributeUnderrun, bytes.size() - 1};
         }},
        {"SourceFile shorter than its index",
         [] {
             ClassFileBuilder b;
             b.ClassAttribute(b.Attr("SourceFile", {0}));
             auto bytes = b.Build();
             return Broken{bytes, ParseError::AttributeOverrun, bytes.size() - 1};
         }},
        {"attribute longer than the file",
         [] {
             ClassFileBuilder b;
             b.ClassAttribute(b.Attr("Anything", {1, 2, 3}));
             auto bytes = b.Build();
             bytes[bytes.size() - 4] = 9;
             return Broken{bytes, ParseError::Truncated, bytes.size() - 3};
         }},
        {"reserved stack map frame",
         [] {
             ClassFileBuilder b;
             const auto map = b.Attr("StackMapTable", Bytes().U2(1).U1(200).data);
             b.Method("m", "()V", {b.Code({0xB1}, {map})});
             auto bytes = b.Build();
             return Broken{bytes, ParseError::BadStackMapFrame, bytes.size() - 2 - 1};
         }},
        {"unknown element value tag",
         [] {
             ClassFileBuilder b;
             const uint16_t type = b.Utf8("LA;");
             const uint16_t name = b.Utf8("value");
             b.ClassAttribute(b.Attr("RuntimeVisibleAnnotations", Bytes().U2(1).U2(type).U2(1).U2(name).U1('x').data));
             auto bytes = b.Build();
             return Broken{bytes, ParseError::BadAnnotation, bytes.size() - 1};
         }},
        {"annotation values nested without end",
         [] {
             ClassFileBuilder b;
             Bytes value;
             for (int i = 0; i < 1000; ++i)
                 value.U1('[').U2(1);
             value.U1('s').U2(b.Utf8("deep"));
             b.Method("m", "()V", {b.Attr("AnnotationDefault", value.data)});
             auto bytes = b.Build();
             const size_t valueStart = bytes.size() - 2 - value.size();
             return Broken{bytes, ParseError::NestingTooDeep, valueStart + 257 * 3};
         }},
        {"unknown type annotation target",
         [] {
             ClassFileBuilder b;
             b.ClassAttribute(b.Attr("RuntimeVisibleTypeAnnotations", Bytes().U2(1).U1(0x30).data));
             auto bytes = b.Build();
             return Broken{bytes, ParseError::BadAnnotation, bytes.size() - 1};
         }},
    };
    for (const auto& [what, make] : cases) {
        const Broken broken = make();
        const ClassFile cf = Parse(broken.bytes);
        EXPECT_FALSE(cf.parsed) << what;
        EXPECT_EQ(ReasonWord(cf.error), std::string(ReasonWord(broken.reason))) << what;
        EXPECT_EQ(cf.errorOffset, broken.offset) << what;
    }
}

TEST(ClassFileParse, UnknownOrMisplacedAttributesAreSkippedByLength)
{
    ClassFileBuilder b;
    b.ClassAttribute(b.Attr("Anything", {0xFF, 0xFF, 0xFF}));
    b.ClassAttribute(b.Attr("Code", {0xFF}));  // Code means nothing on a class
    b.Field("f", "I", {b.Attr("StackMapTable", {0xC8})});
    b.Method("m", "()V", {b.Code({0xB1}, {b.Attr("Exceptions", {0xFF})})});
    const ClassFile cf = Parse(b.Build());
    EXPECT_TRUE(cf.parsed) << ReasonWord(cf.error) << " at " << cf.errorOffset;
}

TEST(ClassFileParse, EveryCutOfAValidFileIsTruncatedAndKeepsWhatWasRead)
{
    ClassFileBuilder b;
    const uint16_t hello = b.String("Hello");
    b.Method("m", "()V", {b.Code({0x12, static_cast<uint8_t>(hello), 0xB1})});
    b.ClassAttribute(b.Attr("SourceFile", Bytes().U2(b.Utf8("Sample.java")).data));
    const std::vector<uint8_t> bytes = b.Build();
    ASSERT_TRUE(Parse(bytes).parsed);
    for (size_t cut = 0; cut < bytes.size(); ++cut) {
        const std::vector<uint8_t> prefix(bytes.begin(), bytes.begin() + static_cast<long>(cut));
        const ClassFile cf = Parse(prefix);
        ASSERT_FALSE(cf.parsed) << cut;
        EXPECT_EQ(cf.error, ParseError::Truncated) << cut << ": " << ReasonWord(cf.error);
        EXPECT_LE(cf.errorOffset, cut);
        if (cut >= b.PoolEnd()) {
            EXPECT_EQ(cf.pool.size(), b.PoolCount()) << cut;  // the pool read whole stays
        }
    }
    EXPECT_FALSE(ParseClassFile(nullptr, 0).parsed);
}

// The window parses its image without copying it and then patches that image; the model (and
// any copy of it) must keep describing the class as it was opened, and both ways of parsing
// must give the same model.
TEST(ClassFileParse, AModelOfAnImageOutlivesChangesToTheImage)
{
    ClassFileBuilder b;
    const uint16_t hello = b.String("Hello");
    const uint16_t text = b.Utf8("Hello");  // the String's own text entry
    b.Method("run", "()V", {b.Code({0x12, static_cast<uint8_t>(hello), 0xB1})});
    const std::vector<uint8_t> bytes = b.Build();
    cl::ByteString image(bytes.data(), static_cast<int32_t>(bytes.size()));

    const ClassFile copied = Parse(bytes);
    ClassFile shared = ParseClassFile(image);
    ASSERT_TRUE(shared.parsed) << ReasonWord(shared.error) << " at " << shared.errorOffset;
    EXPECT_EQ(static_cast<const void*>(shared.bytes.data()), static_cast<const void*>(image.View().data()))
        << "the image's bytes are shared, not copied";
    EXPECT_NE(copied.bytes.data(), bytes.data()) << "bytes given by pointer are copied";
    ASSERT_EQ(shared.pool.size(), copied.pool.size());
    for (size_t i = 1; i < copied.pool.size(); ++i) {
        EXPECT_EQ(shared.pool[i].offset, copied.pool[i].offset) << i;
        EXPECT_EQ(shared.pool[i].uses, copied.pool[i].uses) << i;
        EXPECT_EQ(shared.Utf8Bytes(static_cast<uint16_t>(i)), copied.Utf8Bytes(static_cast<uint16_t>(i))) << i;
    }

    const ClassFile kept = shared;  // a copy shares the same storage
    // The window writes "Jello" over the text and then drops its old image altogether.
    image.ByteAt(static_cast<int32_t>(shared.pool[text].Utf8Offset()) + 1) = 'J';
    EXPECT_EQ(image.View().substr(shared.pool[text].Utf8Offset(), 5), "Jello");
    image = cl::ByteString("something else entirely");
    EXPECT_EQ(shared.Utf8Bytes(text), "Hello");
    EXPECT_EQ(kept.Utf8Bytes(text), "Hello");
    ClassFile moved = std::move(shared);
    EXPECT_EQ(moved.Utf8Bytes(text), "Hello");
    EXPECT_EQ(moved.ClassName(moved.thisClass), copied.ClassName(copied.thisClass));
}

}  // namespace

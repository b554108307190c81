// Code javac does not write but the class-file format allows, and code that is malformed: the
// data-flow follows what the JVM would run (subroutines, wide locals, switches, handlers) and
// gives up on a method it cannot follow, without giving up on the class or the program.

#include "ClassFileBuilder.h"

#include "classfile/ClassFile.h"
#include "usage/ClassAnalysis.h"
#include "usage/ProgramUsage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using cl::testing::Bytes;
using cl::testing::ClassFileBuilder;
using cl::usage::Use;

namespace {

struct Handler {
    uint16_t start, end, handler;
};

// A class with one static method m()V of this code; `text` is its first string constant.
struct OneMethod {
    ClassFileBuilder b{"Hand"};
    uint16_t text = b.String("Hand made text");
    uint16_t getProperty = b.Methodref("java/lang/System", "getProperty", "(Ljava/lang/String;)Ljava/lang/String;");
    uint16_t label = b.Methodref("javax/swing/JLabel", "<init>", "(Ljava/lang/String;)V");
    uint16_t println = b.Methodref("java/io/PrintStream", "println", "(Ljava/lang/String;)V");

    std::vector<cl::usage::Finding> Findings(const std::vector<uint8_t>& code, uint16_t maxLocals = 8,
                                             const std::vector<Handler>& handlers = {})
    {
        Bytes attr;
        attr.U2(8).U2(maxLocals).U4(static_cast<uint32_t>(code.size())).Append(code);
        attr.U2(static_cast<uint32_t>(handlers.size()));
        for (const Handler& h : handlers)
            attr.U2(h.start).U2(h.end).U2(h.handler).U2(0);
        attr.U2(0);
        b.Method("m", "()V", {b.Attr("Code", attr.data)});
        const std::vector<uint8_t> bytes = b.Build();
        const cl::classfile::ClassFile cf = cl::classfile::ParseClassFile(bytes.data(), bytes.size());
        EXPECT_TRUE(cf.parsed);
        std::vector<cl::usage::ClassFacts> facts;
        facts.push_back(cl::usage::AnalyseClass(cf));
        const auto usage = cl::usage::ProgramUsage::Solve(std::move(facts));
        return usage.FindingsOf({0, text});
    }
};

std::string Describe(const std::vector<cl::usage::Finding>& findings)
{
    std::string out;
    for (const auto& f : findings)
        out += std::string(cl::usage::UseWord(f.use)) + ":" + f.consumer + " ";
    return out;
}

bool Only(const std::vector<cl::usage::Finding>& findings, Use use, const std::string& consumer)
{
    return findings.size() == 1 && findings[0].use == use && findings[0].consumer == consumer;
}

uint8_t Hi(uint16_t v)
{
    return static_cast<uint8_t>(v >> 8);
}
uint8_t Lo(uint16_t v)
{
    return static_cast<uint8_t>(v);
}

TEST(CodeShapes, FollowsWhatTheJvmWouldRun)
{
    struct Case {
        const char* name;
        std::vector<uint8_t> (*code)(const OneMethod&);
        Use use;
        const char* consumer;
        uint16_t maxLocals;
        std::vector<Handler> handlers;
    };
    const Case cases[] = {
        {"a key straight away",
         [](const OneMethod& m) {
             return std::vector<uint8_t>{0x12, Lo(m.text), 0xB8, Hi(m.getProperty), Lo(m.getProperty), 0x57, 0xB1};
         },
         Use::Key, "java/lang/System.getProperty", 8, {}},
        {"a subroutine (jsr, astore, ret) keeps the local it was given",
         [](const OneMethod& m) {
             return std::vector<uint8_t>{
                 0x12, Lo(m.text), 0x4C,                                 // 0: ldc; astore_1
                 0xA8, 0x00, 0x0A,                                       // 3: jsr +10 -> 13
                 0x2B, 0xB8, Hi(m.getProperty), Lo(m.getProperty), 0x57, // 6: aload_1; getProperty; pop
                 0xB1,                                                   // 11: return
                 0x00,                                                   // 12: nop
                 0x4D, 0xA9, 0x02,                                       // 13: astore_2; ret 2
             };
         },
         Use::Key, "java/lang/System.getProperty", 8, {}},
        {"wide loads and stores of a local past 255",
         [](const OneMethod& m) {
             return std::vector<uint8_t>{0x12, Lo(m.text), 0xC4, 0x3A, 0x01, 0x2C, 0xC4, 0x19, 0x01, 0x2C,
                                         0xB8, Hi(m.getProperty), Lo(m.getProperty), 0x57, 0xB1};
         },
         Use::Key, "java/lang/System.getProperty", 301, {}},
        {"a long in two locals does not overwrite the string beside it",
         [](const OneMethod& m) {
             // ldc; astore_1; lconst_1; lstore_0 (slots 0 and 1); aload_1
             return std::vector<uint8_t>{0x12, Lo(m.text), 0x4C, 0x0A, 0x3F, 0x2B,
                                         0xB8, Hi(m.getProperty), Lo(m.getProperty), 0x57, 0xB1};
         },
         Use::Unknown, "nothing", 8, {}},
        {"a tableswitch: every case reaches the join",
         [](const OneMethod& m) {
             // 0: ldc; astore_1; iconst_0; tableswitch at 4 (operands at 8), 0..1, every target 28
             std::vector<uint8_t> c{0x12, Lo(m.text), 0x4C, 0x03, 0xAA, 0, 0, 0};
             Bytes ops;
             ops.U4(24).U4(0).U4(1).U4(24).U4(24);
             c.insert(c.end(), ops.data.begin(), ops.data.end());
             // 28: aload_1; getProperty; pop; return
             const std::vector<uint8_t> tail{0x2B, 0xB8, Hi(m.getProperty), Lo(m.getProperty), 0x57, 0xB1};
             c.insert(c.end(), tail.begin(), tail.end());
             return c;
         },
         Use::Key, "java/lang/System.getProperty", 8, {}},
        {"a handler sees the locals of the code it covers",
         [](const OneMethod& m) {
             return std::vector<uint8_t>{
                 0x12, Lo(m.text), 0x4C,                                       // 0: ldc; astore_1
                 0x01, 0xBF,                                                   // 3: aconst_null; athrow
                 0x57, 0x2B, 0xB8, Hi(m.getProperty), Lo(m.getProperty), 0x57, // 5: pop; aload_1; getProperty; pop
                 0xB1,
             };
         },
         Use::Key, "java/lang/System.getProperty", 8, {{3, 5, 5}}},
        {"dup_x1 and swap move the string with the words around it",
         [](const OneMethod& m) {
             // iconst_0; ldc; dup_x1; pop; pop (the copy below is left); iconst_0; swap; getProperty
             return std::vector<uint8_t>{0x03, 0x12, Lo(m.text), 0x5A, 0x57, 0x57, 0x03, 0x5F,
                                         0xB8, Hi(m.getProperty), Lo(m.getProperty), 0x57, 0x57, 0xB1};
         },
         Use::Key, "java/lang/System.getProperty", 8, {}},
        // Malformed code: the method is left unfollowed and its strings go nowhere known.
        {"a branch into the middle of an instruction",
         [](const OneMethod& m) { return std::vector<uint8_t>{0x12, Lo(m.text), 0x57, 0xA7, 0xFF, 0xFE, 0xB1}; },
         Use::Unknown, "code not followed", 8, {}},
        {"a pop of an empty stack",
         [](const OneMethod& m) { return std::vector<uint8_t>{0x12, Lo(m.text), 0x57, 0x57, 0xB1}; },
         Use::Unknown, "code not followed", 8, {}},
        {"code that runs off its end",
         [](const OneMethod& m) { return std::vector<uint8_t>{0x12, Lo(m.text), 0x57}; },
         Use::Unknown, "code not followed", 8, {}},
        {"a local past max_locals",
         [](const OneMethod& m) { return std::vector<uint8_t>{0x12, Lo(m.text), 0x3A, 0x09, 0xB1}; },
         Use::Unknown, "code not followed", 8, {}},
        {"paths that meet with different stack heights",
         [](const OneMethod& m) {
             return std::vector<uint8_t>{0x03, 0x99, 0x00, 0x05, 0x12, Lo(m.text), 0xB1};  // ifeq +5 -> 6
         },
         Use::Unknown, "code not followed", 8, {}},
        {"a handler range that ends inside an instruction",
         [](const OneMethod& m) { return std::vector<uint8_t>{0x12, Lo(m.text), 0x57, 0xB1}; },
         Use::Unknown, "code not followed", 8, {{0, 1, 3}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        OneMethod m;
        const auto findings = m.Findings(c.code(m), c.maxLocals, c.handlers);
        EXPECT_TRUE(Only(findings, c.use, c.consumer)) << Describe(findings);
    }
}

TEST(CodeShapes, AnUnfollowedMethodLeavesTheRestOfTheClassFollowed)
{
    ClassFileBuilder b{"Hand"};
    const uint16_t bad = b.String("In the broken method");
    const uint16_t good = b.String("In the sound method");
    const uint16_t getProperty =
        b.Methodref("java/lang/System", "getProperty", "(Ljava/lang/String;)Ljava/lang/String;");
    b.Method("broken", "()V", {b.Code({0x12, Lo(bad), 0x57, 0x57, 0xB1})});
    b.Method("sound", "()V", {b.Code({0x12, Lo(good), 0xB8, Hi(getProperty), Lo(getProperty), 0x57, 0xB1})});
    const std::vector<uint8_t> bytes = b.Build();
    const cl::classfile::ClassFile cf = cl::classfile::ParseClassFile(bytes.data(), bytes.size());
    ASSERT_TRUE(cf.parsed);
    const cl::usage::ClassFacts facts = cl::usage::AnalyseClass(cf);
    ASSERT_EQ(facts.methods.size(), 2u);
    EXPECT_FALSE(facts.methods[0].followed);
    EXPECT_TRUE(facts.methods[1].followed);
    std::vector<cl::usage::ClassFacts> all{facts};
    const auto usage = cl::usage::ProgramUsage::Solve(std::move(all));
    EXPECT_TRUE(Only(usage.FindingsOf({0, bad}), Use::Unknown, "code not followed"));
    EXPECT_TRUE(Only(usage.FindingsOf({0, good}), Use::Key, "java/lang/System.getProperty"));
}

TEST(CodeShapes, EveryTextOfALargeNestedArrayTakesTheUseOfWhereTheArrayGoes)
{
    // JOptionPane.showMessageDialog(null, new String[][] {{t0, t0}, {t1, t2}, {t3, t4}, ...}): each
    // text reaches the dialog through two arrays, the first one put in twice.
    ClassFileBuilder b{"Hand"};
    const uint16_t dialog =
        b.Methodref("javax/swing/JOptionPane", "showMessageDialog", "(Ljava/awt/Component;Ljava/lang/Object;)V");
    const uint16_t stringClass = b.Class("java/lang/String");
    const uint16_t rowClass = b.Class("[Ljava/lang/String;");
    constexpr int kRows = 200;
    std::vector<uint16_t> texts;
    std::vector<uint8_t> code{0x01, 0x11, Hi(kRows), Lo(kRows), 0xBD, Hi(rowClass), Lo(rowClass)};
    for (int row = 0; row < kRows; ++row) {
        code.insert(code.end(), {0x59, 0x11, Hi(static_cast<uint16_t>(row)), Lo(static_cast<uint16_t>(row)), 0x05,
                                 0xBD, Hi(stringClass), Lo(stringClass)});
        for (uint8_t cell = 0; cell < 2; ++cell) {
            if (row > 0 || cell == 0)
                texts.push_back(b.String("Entity text number " + std::to_string(texts.size())));
            code.insert(code.end(), {0x59, static_cast<uint8_t>(0x03 + cell), 0x13, Hi(texts.back()),
                                     Lo(texts.back()), 0x53});
        }
        code.push_back(0x53);
    }
    code.insert(code.end(), {0xB8, Hi(dialog), Lo(dialog), 0xB1});
    b.Method("table", "()V", {b.Code(code)});
    const std::vector<uint8_t> bytes = b.Build();
    const cl::classfile::ClassFile cf = cl::classfile::ParseClassFile(bytes.data(), bytes.size());
    ASSERT_TRUE(cf.parsed);
    std::vector<cl::usage::ClassFacts> facts;
    facts.push_back(cl::usage::AnalyseClass(cf));
    ASSERT_TRUE(facts[0].methods[0].followed);
    const auto usage = cl::usage::ProgramUsage::Solve(std::move(facts));
    ASSERT_EQ(texts.size(), 2u * kRows - 1);
    for (const uint16_t text : texts) {
        SCOPED_TRACE(text);
        const auto findings = usage.FindingsOf({0, text});
        EXPECT_TRUE(Only(findings, Use::Ui, "javax/swing/JOptionPane.showMessageDialog")) << Describe(findings);
    }
}

TEST(CodeShapes, FactsKeepTheirNamesAndTextsOnceTheClassFileIsGone)
{
    // The facts' names and texts live in a block of their own, shared by copies: a copy made
    // from facts whose class file and first facts are gone still reads them.
    cl::usage::ClassFacts copy;
    uint16_t text = 0;
    {
        ClassFileBuilder b{"org/example/Hand", "org/example/Base"};
        text = b.String("Kept message text");
        const uint16_t getProperty =
            b.Methodref("java/lang/System", "getProperty", "(Ljava/lang/String;)Ljava/lang/String;");
        const uint16_t own = b.Methodref("org/example/Other", "show", "(Ljava/lang/Object;)V");
        b.Field("title", "Ljava/lang/String;");
        b.Method("first", "()V", {b.Code({0x12, Lo(text), 0xB8, Hi(getProperty), Lo(getProperty), 0x57, 0xB1})});
        b.Method("second", "(I)V", {b.Code({0x12, Lo(text), 0xB8, Hi(own), Lo(own), 0xB1})});
        std::vector<uint8_t> bytes = b.Build();
        const cl::classfile::ClassFile cf = cl::classfile::ParseClassFile(bytes.data(), bytes.size());
        ASSERT_TRUE(cf.parsed);
        const cl::usage::ClassFacts facts = cl::usage::AnalyseClass(cf);
        copy = facts;
        std::fill(bytes.begin(), bytes.end(), uint8_t{0});
    }
    EXPECT_EQ(copy.name, "org/example/Hand");
    EXPECT_EQ(copy.superName, "org/example/Base");
    ASSERT_EQ(copy.methods.size(), 2u);
    EXPECT_EQ(copy.methods[0].name, "first");
    EXPECT_EQ(copy.methods[0].descriptor, "()V");
    EXPECT_EQ(copy.methods[1].name, "second");
    EXPECT_EQ(copy.methods[1].descriptor, "(I)V");
    ASSERT_EQ(copy.fields.size(), 1u);
    EXPECT_EQ(copy.fields[0].name, "title");
    EXPECT_EQ(copy.fields[0].descriptor, "Ljava/lang/String;");
    ASSERT_EQ(copy.literals.size(), 1u);
    EXPECT_EQ(copy.literals[0].text, "Kept message text");
    ASSERT_EQ(copy.members.size(), 1u);  // the program's own method called
    EXPECT_EQ(copy.members[0].owner, "org/example/Other");
    EXPECT_EQ(copy.members[0].name, "show");
    EXPECT_EQ(copy.members[0].descriptor, "(Ljava/lang/Object;)V");
    EXPECT_NE(std::find(copy.consumers.begin(), copy.consumers.end(), "java/lang/System.getProperty"),
              copy.consumers.end());
    std::vector<cl::usage::ClassFacts> program{copy};
    const auto usage = cl::usage::ProgramUsage::Solve(std::move(program));
    const auto findings = usage.FindingsOf({0, text});
    ASSERT_EQ(findings.size(), 2u) << Describe(findings);
    EXPECT_EQ(findings[0].className, "org/example/Hand");
}

TEST(CodeShapes, AClassThatDidNotParseGivesNoFacts)
{
    const std::vector<uint8_t> bytes{0xCA, 0xFE, 0xBA, 0xBE, 0, 0};
    const cl::classfile::ClassFile cf = cl::classfile::ParseClassFile(bytes.data(), bytes.size());
    const cl::usage::ClassFacts facts = cl::usage::AnalyseClass(cf);
    EXPECT_FALSE(facts.parsed);
    EXPECT_TRUE(facts.literals.empty());
    EXPECT_TRUE(facts.flows.empty());
}

}  // namespace

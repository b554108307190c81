// Which bundle values are offered for translation, which carry the java-format flag, and the
// letter table they rest on, compared with Java's Character.isLetter.

#include "bundle/Letters.h"
#include "bundle/OfferedValues.h"

#include "JavaOracle.h"
#include "ScratchFolder.h"
#include "Tools.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

using cl::bundle::NotOffered;
using cl::bundle::OfferValue;

TEST(OfferedValues, TextsAreOfferedAndTheRestStays)
{
    const struct {
        std::string key;
        std::string value;
        NotOffered reason;
        bool javaFormat;
    } cases[] = {
        {"menu.file", "File", NotOffered::No, false},
        {"title", "文件", NotOffered::No, false},
        {"greeting", "Привет", NotOffered::No, false},
        {"status", "Saved {0} files in {1}", NotOffered::No, true},
        {"count", "{0,choice,0#none|1#one|1<{0,number,integer}}", NotOffered::No, true},
        {"apostrophe", "Don't save", NotOffered::No, false},
        {"quoted", "Use '{0}' literally", NotOffered::No, false},
        {"broken", "Saved {0 files", NotOffered::No, false},
        {"empty", "", NotOffered::Empty, false},
        {"one", "X", NotOffered::OneCharacter, false},
        {"oneCjk", "是", NotOffered::OneCharacter, false},
        {"oneEmoji", "😀", NotOffered::OneCharacter, false},
        {"digits", "1024", NotOffered::NoLetter, false},
        {"punct", "...", NotOffered::NoLetter, false},
        {"arg", "{0}", NotOffered::NoLetter, false},
        {"percent", "{0} %", NotOffered::NoLetter, false},
        {"menu.file.mnemonic", "F", NotOffered::OneCharacter, false},
        {"menu.file.mnemonic", "Fi", NotOffered::KeyboardKey, false},
        {"T_SAVE_ACCELERATOR", "ctrl S", NotOffered::KeyboardKey, false},
        {"saveShortcut", "ctrl S", NotOffered::KeyboardKey, false},
        {"open.keystroke", "ctrl O", NotOffered::KeyboardKey, false},
        {"openKeyStroke", "ctrl O", NotOffered::KeyboardKey, false},
        {"action-close-short-cut", "ctrl W", NotOffered::KeyboardKey, false},
        {"mnemonic.help", "Press Alt and the underlined letter", NotOffered::No, false},
        {"displayedMnemonicIndex", "two", NotOffered::No, false},
        {"shortcuts", "Keyboard shortcuts", NotOffered::No, false},
        {"nul", std::string("a\0b", 3), NotOffered::NotCatalogueText, false},
        {"lone", "ab\xed\xa0\x80", NotOffered::NotCatalogueText, false},
    };
    for (const auto& c : cases) {
        const auto offer = OfferValue(c.key, c.value);
        EXPECT_EQ(offer.reason, c.reason) << c.key << "=" << c.value;
        EXPECT_EQ(offer.offered(), c.reason == NotOffered::No) << c.key;
        EXPECT_EQ(offer.javaFormat, c.javaFormat) << c.key << "=" << c.value;
        // A letter alone waits for a lookup that shows it; a mnemonic's letter never does.
        const bool oneLetter = c.reason == NotOffered::OneCharacter && c.value != "😀" && c.key != "menu.file.mnemonic";
        EXPECT_EQ(offer.oneLetter, oneLetter) << c.key << "=" << c.value;
    }
}

class LettersAgainstJava : public cltest::ScratchFolder {};

TEST_F(LettersAgainstJava, EveryCodePointAsCharacterIsLetterSays)
{
    CLTEST_REQUIRE_TOOL("javac", CLASSLINGO_JAVAC);
    CLTEST_REQUIRE_TOOL("java", CLASSLINGO_JAVA);
    const char* const oracle = R"java(
public class LetterOracle {
    public static void main(String[] args) {
        StringBuilder sb = new StringBuilder();
        sb.append(Runtime.version().feature()).append('\n');
        int start = -1;
        for (int cp = 0; cp <= 0x110000; cp++) {
            boolean letter = cp <= 0x10FFFF && Character.isLetter(cp);
            if (letter && start < 0) start = cp;
            if (!letter && start >= 0) {
                sb.append(Integer.toHexString(start)).append('-').append(Integer.toHexString(cp - 1)).append('\n');
                start = -1;
            }
        }
        System.out.print(sb);
    }
}
)java";
    const auto run =
        cltest::RunJavaProgram(dir_.string(), "LetterOracle", oracle, "");
    ASSERT_TRUE(run.ok) << run.error;
    const std::size_t firstLine = run.out.find('\n');
    const int feature = std::stoi(run.out.substr(0, firstLine));
    const std::string javaRanges = run.out.substr(firstLine + 1);

    std::string ours;
    long start = -1;
    char line[40];
    for (long cp = 0; cp <= 0x110000; ++cp) {
        const bool letter = cp <= 0x10FFFF && cl::bundle::IsLetter(static_cast<char32_t>(cp));
        if (letter && start < 0)
            start = cp;
        if (!letter && start >= 0) {
            std::snprintf(line, sizeof line, "%lx-%lx\n", start, cp - 1);
            ours += line;
            start = -1;
        }
    }
    if (feature == 17) {
        EXPECT_EQ(ours, javaRanges);
    } else {
        // A later Unicode adds letters; the table's must all still be letters to Java.
        for (std::size_t at = 0; at < ours.size();) {
            const std::size_t end = ours.find('\n', at);
            const std::string range = ours.substr(at, end - at);
            at = end + 1;
            const long first = std::stol(range.substr(0, range.find('-')), nullptr, 16);
            const long last = std::stol(range.substr(range.find('-') + 1), nullptr, 16);
            bool inside = false;
            for (std::size_t j = 0; j < javaRanges.size() && !inside;) {
                const std::size_t e = javaRanges.find('\n', j);
                const std::string r = javaRanges.substr(j, e - j);
                j = e + 1;
                inside = std::stol(r.substr(0, r.find('-')), nullptr, 16) <= first &&
                         last <= std::stol(r.substr(r.find('-') + 1), nullptr, 16);
            }
            EXPECT_TRUE(inside) << range << " is no run of letters to Java " << feature;
        }
    }
}

}  // namespace

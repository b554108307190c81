// classlingo-cli and the role of every row: `list --roles` says what each string is, and
// `replace` refuses rows whose replacement would break the program unless told --force, and
// bytes that are no constant-pool entry at all always.

#include "CliFixture.h"
#include "SampleClasses.h"

#include <filesystem>
#include <map>
#include <sstream>

namespace {

using cltest::CliFixture;
using cltest::CliRun;

struct Row {
    std::size_t index;
    std::string line;
};

class Roles : public CliFixture {
protected:
    void SetUp() override
    {
        CliFixture::SetUp();
        Write(Path("none.ini"), "");
        Write(Path("A.class"), cltest::ClassWithEveryRowKind());
    }

    // The listed rows by caption, with their index and whole line.
    std::map<std::string, Row> Rows(const std::vector<std::string>& extra = {"--roles"})
    {
        std::vector<std::string> args{"list", "--filter", Path("none.ini")};
        args.insert(args.end(), extra.begin(), extra.end());
        args.push_back(Path("A.class"));
        const CliRun run = Run(args);
        EXPECT_EQ(run.status, 0) << run.err;
        std::map<std::string, Row> rows;
        std::istringstream lines(run.out);
        std::string line;
        for (std::size_t i = 0; std::getline(lines, line); ++i) {
            std::vector<std::string> fields;
            std::istringstream split(line);
            for (std::string field; std::getline(split, field, '\t');)
                fields.push_back(field);
            rows[fields.at(3)] = {i, line};
        }
        return rows;
    }

    CliRun Replace(const std::vector<std::string>& pairs, bool force = false)
    {
        std::vector<std::string> args{"replace", "--filter", Path("none.ini")};
        if (force)
            args.push_back("--force");
        args.push_back(Path("A.class"));
        args.insert(args.end(), pairs.begin(), pairs.end());
        return Run(args);
    }
};

TEST_F(Roles, ListGivesEachRowItsRoleAsAFifthField)
{
    const auto rows = Rows();
    const std::map<std::string, std::string> expected{
        {"Hello, world", "literal"}, {"count", "shared"}, {"ABC", "none"}, {"Sample", "name"}};
    for (const auto& [caption, role] : expected) {
        ASSERT_TRUE(rows.count(caption)) << caption;
        const std::string& line = rows.at(caption).line;
        EXPECT_EQ(line.substr(line.rfind('\t') + 1), role) << line;
    }
    // Without --roles every line is as before: four fields, the same order.
    const auto plain = Rows({});
    ASSERT_EQ(plain.size(), rows.size());
    for (const auto& [caption, row] : rows) {
        EXPECT_EQ(plain.at(caption).index, row.index);
        EXPECT_EQ(plain.at(caption).line + "\t" + row.line.substr(row.line.rfind('\t') + 1), row.line);
    }
}

TEST_F(Roles, ListShowsADashWhereThereAreNoRoles)
{
    Write(Path("P.lng"), std::string("\x00\x05Hello", 7) + "x");
    Write(Path("Broken.class"), cltest::ClassWithEveryRowKind() + "!");  // one byte too many: it does not parse
    for (const auto& [file, pack] : {std::pair{Path("P.lng"), true}, std::pair{Path("Broken.class"), false}}) {
        std::vector<std::string> args{"list", "--roles", "--filter", Path("none.ini"), file};
        if (pack)
            args.insert(args.begin() + 1, "--pack");
        const CliRun run = Run(args);
        EXPECT_EQ(run.status, 0) << run.err;
        ASSERT_FALSE(run.out.empty());
        std::istringstream lines(run.out);
        for (std::string line; std::getline(lines, line);)
            EXPECT_EQ(line.substr(line.rfind('\t')), "\t-") << file << ": " << line;
    }
}

TEST_F(Roles, ReplaceRefusesRowsThatAreNotLiteralsBeforeWritingAnything)
{
    const auto rows = Rows();
    const std::string literal = std::to_string(rows.at("Hello, world").index);
    const std::string shared = std::to_string(rows.at("count").index);
    const std::string none = std::to_string(rows.at("ABC").index);
    const std::string original = cltest::ClassWithEveryRowKind();

    const struct {
        std::vector<std::string> pairs;
        bool force;
        const char* says;
    } refused[] = {
        {{shared, "Anzahl"}, false, "shared"},
        {{literal, "Hallo", shared, "Anzahl"}, false, "--force"},  // one refused row refuses all
        {{none, "XYZ"}, false, "不是常量池中的字符串"},
        {{none, "XYZ"}, true, "替换它会损坏类文件"},  // never, even forced
        {{literal, "Hallo", none, "XYZ"}, true, "不是常量池中的字符串"},
    };
    for (const auto& c : refused) {
        const CliRun run = Replace(c.pairs, c.force);
        EXPECT_EQ(run.status, 1) << c.says;
        EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
        EXPECT_EQ(Read(Path("A.class")), original) << c.says;
        EXPECT_FALSE(std::filesystem::exists(Path("A.class.bak"))) << c.says;
    }

    CliRun run = Replace({literal, "Hallo, Welt"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(Read(Path("A.class")).find("Hallo, Welt"), std::string::npos);

    run = Replace({shared, "zahl"}, true);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(Read(Path("A.class")).find("\x01\x00\x04zahl"), std::string::npos);
    EXPECT_EQ(Rows().at("zahl").line.substr(Rows().at("zahl").line.rfind('\t') + 1), "shared");
}

}  // namespace

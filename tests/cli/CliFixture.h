#pragma once
// A scratch folder and an in-process runner for classlingo-cli tests.

#include "Cli.h"

#include <gtest/gtest.h>

#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace cltest {

struct CliRun {
    int status = -1;
    std::string out;
    std::string err;
};

class CliFixture : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "classlingo-cli-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
    }
    void TearDown() override {
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }

    std::string Path(const std::string& name) const { return (dir_ / name).string(); }

    static void Write(const std::string& path, const std::string& bytes) {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        ASSERT_TRUE(out.good()) << path;
    }
    static std::string Read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        EXPECT_TRUE(in.good()) << path;
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    std::set<std::string> Entries() const {
        std::set<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(dir_)) {
            names.insert(entry.path().filename().string());
        }
        return names;
    }

    template <typename... FileSystem>
    static CliRun Run(const std::vector<std::string>& args, FileSystem&... fs) {
        std::vector<std::string> storage{"classlingo-cli"};
        storage.insert(storage.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& arg : storage) argv.push_back(arg.data());
        argv.push_back(nullptr);
        std::ostringstream out;
        std::ostringstream err;
        CliRun run;
        run.status = RunCli(static_cast<int>(storage.size()), argv.data(), out, err, fs...);
        run.out = out.str();
        run.err = err.str();
        return run;
    }

    std::filesystem::path dir_;
};

}  // namespace cltest

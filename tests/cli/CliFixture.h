#pragma once
// A scratch folder and an in-process runner for classlingo-cli tests.

#include "Cli.h"
#include "ScratchFolder.h"

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

class CliFixture : public ScratchFolder {
protected:
    template <typename... FileSystem>
    static CliRun Run(const std::vector<std::string>& args, FileSystem&... fs)
    {
        std::vector<std::string> storage{"classlingo-cli"};
        storage.insert(storage.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& arg : storage)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        std::ostringstream out;
        std::ostringstream err;
        CliRun run;
        run.status = RunCli(static_cast<int>(storage.size()), argv.data(), out, err, fs...);
        run.out = out.str();
        run.err = err.str();
        return run;
    }
};

}  // namespace cltest

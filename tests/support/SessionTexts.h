#pragma once
// The texts a program offers, as a set: for tests that check what a session opens, before and
// after something was done to the program.

#include "catalogue/ProgramSession.h"

#include <set>
#include <string>

namespace cltest {

// Empty when the program does not open.
inline std::set<std::string> TextsOf(const std::string& path)
{
    cl::catalogue::ProgramSession session;
    std::set<std::string> texts;
    cl::catalogue::OpenOptions options;
    options.readAs = cl::catalogue::ReadAs::Found;  // what the file holds, translated or not
    if (!session.Open(path, options))
        return texts;
    for (const cl::catalogue::SessionEntry& entry : session.Entries())
        texts.insert(entry.msgid);
    return texts;
}

}  // namespace cltest

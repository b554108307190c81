#pragma once
// Small whole programs, as a translator hands them over, for the tests of extracting and
// applying catalogues: hand-made classes offering chosen texts, packed as a jar or laid out
// in a folder that also holds what an installed program holds besides its classes (a script
// that must stay executable, a private file, links of every kind), and catalogues for them.

#include "ClassFileBuilder.h"
#include "FileState.h"
#include "ZipBytes.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

namespace cltest {

// A class `name` (with slashes) whose string constants are `texts`: each offered for translation.
inline std::string ClassOffering(const std::string& name, const std::vector<std::string>& texts)
{
    cl::testing::ClassFileBuilder b(name);
    for (const std::string& text : texts)
        b.String(text);
    const std::vector<uint8_t> bytes = b.Build();
    return std::string(bytes.begin(), bytes.end());
}

// The two classes of the sample program: app/Main offers "Hello", app/lib/Other offers "Bye".
inline std::string MainClass()
{
    return ClassOffering("app/Main", {"Hello"});
}

inline std::string OtherClass()
{
    return ClassOffering("app/lib/Other", {"Bye"});
}

// The sample program as a jar.
inline std::string SampleJar()
{
    return BuildZip({{"META-INF/MANIFEST.MF", "Manifest-Version: 1.0\r\nMain-Class: app.Main\r\n\r\n", false, {}},
                     {"app/Main.class", MainClass(), false, {}},
                     {"app/lib/Other.class", OtherClass(), false, {}}});
}

// A translated catalogue: a UTF-8 header and one entry per (msgid, msgstr) pair, each pair's
// first text preceded by "msgctxt\x04" when it has a context.
inline std::string Catalogue(const std::vector<std::pair<std::string, std::string>>& entries)
{
    std::string po = "msgid \"\"\nmsgstr \"\"\n\"Content-Type: text/plain; charset=UTF-8\\n\"\n";
    for (const auto& [key, msgstr] : entries) {
        po += "\n";
        std::string msgid = key;
        if (const std::size_t bar = key.find('\x04'); bar != std::string::npos) {
            po += "msgctxt \"" + key.substr(0, bar) + "\"\n";
            msgid = key.substr(bar + 1);
        }
        po += "msgid \"" + msgid + "\"\nmsgstr \"" + msgstr + "\"\n";
    }
    return po;
}

inline void WriteBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// The sample program as an installed folder at `root`:
//   app/Main.class, app/lib/Other.class   the classes (app/lib is mode 0750)
//   run.sh (0755), secret.cfg (0600), README.txt
//   readme-link -> README.txt             a link to a file beside it
//   hostname -> `outside`                 a link to a file outside the program (absolute)
//   lib-link -> app/lib                   a link to a folder
//   dangling -> nowhere                   a link to nothing
// Every item's time is set far in the past, so that a copy that does not keep it shows.
inline void MakeSampleFolder(const std::string& root, const std::string& outside)
{
    namespace fs = std::filesystem;
    fs::create_directories(root + "/app/lib");
    WriteBytes(root + "/app/Main.class", MainClass());
    WriteBytes(root + "/app/lib/Other.class", OtherClass());
    WriteBytes(root + "/run.sh", "#!/bin/sh\necho run\n");
    WriteBytes(root + "/secret.cfg", "password=1\n");
    WriteBytes(root + "/README.txt", "read me\n");
    ::chmod((root + "/run.sh").c_str(), 0755);
    ::chmod((root + "/secret.cfg").c_str(), 0600);
    ::chmod((root + "/app/Main.class").c_str(), 0644);
    ::chmod((root + "/app/lib/Other.class").c_str(), 0644);
    ::chmod((root + "/README.txt").c_str(), 0644);
    ::chmod((root + "/app/lib").c_str(), 0750);
    ::chmod((root + "/app").c_str(), 0755);
    ::chmod(root.c_str(), 0755);
    fs::create_symlink("README.txt", root + "/readme-link");
    fs::create_symlink(outside, root + "/hostname");
    fs::create_directory_symlink("app/lib", root + "/lib-link");
    fs::create_symlink("nowhere", root + "/dangling");
    // Children first: setting a folder's time after its contents keeps it.
    for (const char* item : {"/app/Main.class", "/app/lib/Other.class", "/app/lib", "/app", "/run.sh", "/secret.cfg",
                             "/README.txt", "/readme-link", "/hostname", "/lib-link", "/dangling", ""})
        FileState::Age(root + item);
}

}  // namespace cltest

#pragma once
// Which java starts a translated program: the first executable `java` in a folder of PATH, else
// JAVA_HOME's bin/java. Both come in as values (what the environment holds), so that a caller
// decides where they come from and tests can give any.

#include "errors/Result.h"
#include "files/FileSystem.h"

#include <string>

namespace cl::run {

// The path of the java to start (as found: a link is not resolved). Empty and relative PATH
// entries are skipped: the run starts from the program's folder, where such an entry would name
// something else than it named here, and a program must never start a `java` lying in the
// folder it was handed. ErrorKind::JavaNotFound when there is none.
Result<std::string> FindJava(const std::string& pathVariable, const std::string& javaHome,
                             FileSystem& fs = NativeFileSystem());

}  // namespace cl::run

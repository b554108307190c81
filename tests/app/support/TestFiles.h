#pragma once
// Files for window tests: writing and reading whole files, hand-made class-file and
// language-pack images, and real class files compiled with javac when a JDK is available.

#include <QByteArray>
#include <QString>

#include <optional>

namespace testfiles {

bool WriteFile(const QString& path, const QByteArray& bytes);
// The file's bytes, or empty optional when it cannot be read.
std::optional<QByteArray> ReadFile(const QString& path);

// A class-file constant-pool UTF-8 entry: tag 0x01, zero high length byte, length, bytes.
QByteArray Utf8Entry(const QByteArray& utf8);
// A language-pack string: zero byte, length byte, bytes.
QByteArray PackEntry(const QByteArray& utf8);

// Compiles `source` as `className`.java in `folder` with `javac` and gives the class file's
// bytes; empty when javac is not given or the compilation fails.
std::optional<QByteArray> CompileJava(const QString& javac, const QString& folder, const QString& className,
                                      const QString& source);

}  // namespace testfiles

#pragma once
// Files for window tests: writing and reading whole files, hand-made class-file and
// language-pack images, and paths as the engine takes them. (Real class files come from
// javac through tests/support/Java.h, as in every suite.)

#include <QByteArray>
#include <QString>

#include <optional>
#include <string>

namespace testfiles {

bool WriteFile(const QString& path, const QByteArray& bytes);
// The file's bytes, or empty optional when it cannot be read.
std::optional<QByteArray> ReadFile(const QString& path);

// A class-file constant-pool UTF-8 entry: tag 0x01, zero high length byte, length, bytes.
QByteArray Utf8Entry(const QByteArray& utf8);
// A language-pack string: zero byte, length byte, bytes.
QByteArray PackEntry(const QByteArray& utf8);

// A path as the engine takes it (the file system's own bytes).
std::string Native(const QString& path);

}  // namespace testfiles

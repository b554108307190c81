#pragma once
// Bridges between the engine's ANSI texts (code page 936) and Qt's strings. A window shows an
// ANSI text only up to its first zero byte, as a zero-terminated window text would.

#include "text/ByteString.h"

#include <QString>

QString FromAnsi(const cl::ByteString& ansi);
// The whole text, zero characters included.
QString FromAnsiWhole(const cl::ByteString& ansi);
cl::ByteString ToAnsi(const QString& text);


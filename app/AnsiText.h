#pragma once
// Bridges between the engine's ANSI texts (code page 936) and Qt's strings. A window shows an
// ANSI text only up to its first zero byte, as a zero-terminated window text would.

#include "text/ByteString.h"

#include <QString>
#include <QStringList>

QString FromAnsi(const cl::ByteString& ansi);
// The whole text, zero characters included.
QString FromAnsiWhole(const cl::ByteString& ansi);
cl::ByteString ToAnsi(const QString& text);
// The characters of `text` that the ANSI code page cannot hold (each once, whole code points,
// in order of first appearance): they would be stored as '?'. Empty when the whole text
// survives the trip.
QStringList CharactersOutsideAnsi(const QString& text);
// The sentence that names them to the user.
QString OutsideAnsiText(const QStringList& characters);

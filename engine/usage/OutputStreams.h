#pragma once
// Where text written to a stream ends up decides what it is. `System.out` and `System.err` are
// the console: what is printed there is a message for whoever started the program (and, in a
// program with windows, a debug line no window shows: a log line). A stream the method opens on
// a file, a socket or a process carries a file format or a protocol: what is written there is
// read back by a program (the same one, next time, or the other end of the line), and is data.
// A stream the method was given (a field, a parameter) leads nowhere the analysis knows.
//
// The data-flow follows streams as it follows strings: `getstatic System.out` and a stream
// opened here are origins of their own (kStream), which never become facts; a stream that
// wraps another (PrintWriter, BufferedWriter, OutputStreamWriter...) is an object made in the
// method that collects the streams its constructor is given; a StringWriter collects the text
// written into it like a builder.

#include "usage/FlowContext.h"

#include <cstdint>
#include <span>
#include <string_view>

namespace cl::usage {

// The value of a kStream origin.
constexpr uint32_t kConsoleStream = 0;
constexpr uint32_t kDataStream = 1;

// Sink::parameter of a Consumer sink for a line printed to the console: the program-wide step
// turns it into a log line when the program shows windows (ConsoleLinesInWindowedPrograms).
constexpr uint16_t kConsoleLine = 1;

// What `new` of this class makes, when it is not an object the table follows: a stream on a
// file of its own (FileWriter, FileOutputStream, RandomAccessFile).
bool OpensFile(std::string_view className) noexcept;

// The stream a library call returns: a socket's, a process's or a connection's output, a file
// opened through java.nio (data); the console's writer. False when it returns none of these.
bool StreamOfCall(FlowContext& c, const CallSite& site, uint32_t& kind);

// The value of `getstatic` of the field `refIndex` when it is System.out or System.err (the
// console stream); 0 otherwise.
uint32_t ConsoleField(FlowContext& c, uint16_t refIndex);

// A stream's constructor: one that opens a file by its name (PrintWriter(String),
// PrintStream(File)) makes the object it builds a data stream.
void ConstructStream(FlowContext& c, const CallSite& site, const uint32_t* args, size_t count);

// Where the receiver of a call that writes text leads.
struct StreamTarget {
    bool console = false;
    bool data = false;
    bool unknown = false;
    uint32_t holders = 0;  // the set of objects made here that collect the text (StringWriter)
};

// True when `site` writes text into the stream it is called on (print, println, printf, format,
// append, write of PrintStream, PrintWriter and the other writers and output streams), and
// then where the stream `receiver` leads. A PrintStream the method does not see made is taken
// for the console: System.out and System.err are PrintStreams, and a program that keeps one in
// a field (its log's stream, output it redirects) prints its messages there; a program writes
// a file or a socket through a stream it opens where it writes.
bool WritesToStream(FlowContext& c, const CallSite& site);
StreamTarget TargetOf(FlowContext& c, const CallSite& site, uint32_t receiver);

// The table's line for the text a writer's or an output stream's method writes (write(String),
// append(CharSequence), writeUTF...): what it is at the console; null when the method writes
// no text (write(int), write(byte[])).
const ConsumerLine* WrittenText(FlowContext& c, const CallSite& site);

// `value`, which the table's line `line` names at a call that writes to a stream, goes where
// the stream leads: the line's use at the console (a message, the pattern of a printf), data in
// a file or a socket, unknown to a stream the method was given, into a StringWriter's text.
void WriteTo(FlowContext& c, const StreamTarget& target, const CallSite& site, const ConsumerLine& line,
             uint32_t value);

// True when the class names a window toolkit's classes (Swing, AWT's windows and controls,
// SWT, JavaFX's stage): a program that has one shows windows.
bool NamesWindowClasses(const classfile::ClassFile& cf);

// In a program that shows windows, what it prints to the console is a debug line no window
// shows: every console line of `classes` becomes a log line when one of them names windows.
void ConsoleLinesInWindowedPrograms(std::span<ClassFacts> classes);

}  // namespace cl::usage

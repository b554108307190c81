#include "usage/OutputStreams.h"

#include "classfile/Bytecode.h"
#include "usage/FlowCalls.h"

#include <algorithm>
#include <vector>

namespace cl::usage {

using classfile::Tag;

namespace {

constexpr uint32_t kPrintf = static_cast<uint32_t>(FormatStyle::Printf);

bool OneOf(std::string_view name, std::initializer_list<std::string_view> names) noexcept
{
    return std::find(names.begin(), names.end(), name) != names.end();
}

// A stream that passes what is written to it on to the stream its constructor is given.
bool Wraps(std::string_view name) noexcept
{
    if (name.starts_with("java/io/"))
        return OneOf(name.substr(8), {"PrintWriter", "PrintStream", "BufferedWriter", "OutputStreamWriter",
                                      "BufferedOutputStream", "DataOutputStream", "FilterWriter",
                                      "FilterOutputStream", "ObjectOutputStream"});
    return OneOf(name, {"java/util/zip/GZIPOutputStream", "java/util/zip/DeflaterOutputStream",
                        "java/util/zip/ZipOutputStream", "javax/crypto/CipherOutputStream"});
}

// A stream that keeps what is written to it in memory: its text goes wherever its toString goes.
bool HoldsText(std::string_view name) noexcept
{
    return OneOf(name, {"java/io/StringWriter", "java/io/CharArrayWriter", "java/io/ByteArrayOutputStream"});
}

// The class `new` at `pc` makes; empty for an object made otherwise (an array).
std::string_view ClassMadeAt(const FlowContext& c, uint32_t pc) noexcept
{
    if (size_t{pc} + 3 > c.length || c.bytes[pc] != 0xBB)
        return {};
    return c.file.ClassName(classfile::bytecode::U2(c.bytes + pc + 1));
}

// The first parameter of a method descriptor names a file: a constructor that opens it.
bool OpensByName(std::string_view descriptor) noexcept
{
    return descriptor.starts_with("(Ljava/lang/String;") || descriptor.starts_with("(Ljava/io/File;") ||
           descriptor.starts_with("(Ljava/nio/file/Path;");
}

// Where the stream `receiver` leads, as far as the method shows it.
StreamTarget Follow(FlowContext& c, uint32_t receiver)
{
    StreamTarget t;
    if (receiver == 0) {
        t.unknown = true;
        return t;
    }
    // Followed from the receiver through the streams each wrapper was made on; the sets are
    // copied out, as a union made below may move them.
    thread_local std::vector<uint32_t> pending;
    thread_local std::vector<uint32_t> done;
    pending.assign(c.s.sets.Elements(receiver).begin(), c.s.sets.Elements(receiver).end());
    done.clear();
    while (!pending.empty()) {
        const uint32_t source = pending.back() >> 2;
        pending.pop_back();
        if (std::find(done.begin(), done.end(), source) != done.end())
            continue;
        done.push_back(source);
        const Source s = c.s.sources[source];
        if (s.kind == kStream) {
            (s.value == kConsoleStream ? t.console : t.data) = true;
            continue;
        }
        const std::string_view made = s.kind == kObject ? ClassMadeAt(c, s.value) : std::string_view();
        if (HoldsText(made)) {
            t.holders = c.s.sets.Union(t.holders, c.s.sets.Single(source << 2));
        } else if (Wraps(made)) {
            bool any = false;
            for (const auto& [object, put] : c.s.collected) {
                if (object == source) {
                    pending.push_back(put);
                    any = true;
                }
            }
            t.unknown = t.unknown || !any;  // made on a stream the method was given
        } else {
            t.unknown = true;  // a field, a parameter, a call's result
        }
    }
    return t;
}

}  // namespace

bool OpensFile(std::string_view className) noexcept
{
    return OneOf(className, {"java/io/FileWriter", "java/io/FileOutputStream", "java/io/RandomAccessFile"});
}

bool StreamOfCall(FlowContext& c, const CallSite& site, uint32_t& kind)
{
    if (!site.libraryOwner || !site.returnsReference || site.returnMayBeString)
        return false;
    const std::string_view name = c.file.Utf8Bytes(site.nameIndex);
    if (name.empty() || (name[0] != 'g' && name[0] != 'n' && name[0] != 'w'))
        return false;
    if (name == "getOutputStream") {  // a socket's, a process's, a URL connection's
        kind = kDataStream;
        return true;
    }
    const std::string_view owner = c.file.ClassName(site.classIndex);
    if ((owner == "java/nio/file/Files" || owner == "java/nio/channels/Channels") &&
        OneOf(name, {"newBufferedWriter", "newOutputStream", "newWriter"})) {
        kind = kDataStream;
        return true;
    }
    if (owner == "java/io/Console" && name == "writer") {
        kind = kConsoleStream;
        return true;
    }
    return false;
}

uint32_t ConsoleField(FlowContext& c, uint16_t refIndex)
{
    const classfile::Constant* ref = c.file.At(refIndex, Tag::Fieldref);
    if (ref == nullptr || c.file.ClassName(ref->ClassIndex()) != "java/lang/System")
        return 0;
    const auto member = c.file.MemberOf(refIndex);
    if (!member || (member->name != "out" && member->name != "err"))
        return 0;
    return c.SetOf(kStream, kConsoleStream);
}

void ConstructStream(FlowContext& c, const CallSite& site, const uint32_t* args, size_t count)
{
    if (!site.isInit || !site.libraryOwner || count == 0 || args[0] == 0)
        return;
    if (!OpensByName(c.file.Utf8Bytes(site.descriptorIndex)) || !Wraps(c.file.ClassName(site.classIndex)))
        return;
    PutInto(c, args[0], c.SetOf(kStream, kDataStream), c.scope.Consumer(site));
}

bool WritesToStream(FlowContext& c, const CallSite& site)
{
    if (!site.libraryOwner || site.isInit)
        return false;
    const std::string_view name = c.file.Utf8Bytes(site.nameIndex);
    if (!OneOf(name, {"print", "println", "printf", "format", "append", "write", "writeBytes", "writeChars",
                      "writeUTF"}))
        return false;
    const std::string_view owner = c.file.ClassName(site.classIndex);
    // The console's own methods always print to it; a StringWriter's are the table's.
    return owner.starts_with("java/io/") && owner != "java/io/Console" && !HoldsText(owner);
}

const ConsumerLine* WrittenText(FlowContext& c, const CallSite& site)
{
    static const ConsumerLine kText = [] {
        ConsumerLine line;
        line.action = Action::Consume;
        line.use = Use::Message;
        line.parameters = 2;  // the first parameter
        return line;
    }();
    const std::string_view descriptor = c.file.Utf8Bytes(site.descriptorIndex);
    return descriptor.starts_with("(Ljava/lang/String;") || descriptor.starts_with("(Ljava/lang/CharSequence;")
               ? &kText
               : nullptr;
}

StreamTarget TargetOf(FlowContext& c, const CallSite& site, uint32_t receiver)
{
    StreamTarget t = Follow(c, receiver);
    if (t.unknown && c.file.ClassName(site.classIndex) == "java/io/PrintStream") {
        t.unknown = false;
        t.console = true;
    }
    return t;
}

void WriteTo(FlowContext& c, const StreamTarget& target, const CallSite& site, const ConsumerLine& line,
             uint32_t value)
{
    const uint32_t consumer = c.scope.Consumer(site);
    if (target.console) {
        const uint16_t console = line.use == Use::Message ? kConsoleLine : 0;
        c.Use(value, c.scope.AddSink({SinkKind::Consumer, line.use, line.format, line.equalsStyle, console, consumer}));
    }
    if (target.data)
        c.Use(value, c.scope.AddSink({SinkKind::Consumer, Use::Data, FormatStyle::None, false, 0, consumer}));
    // Elsewhere a printf pattern still is one: the policy checks it as such where it is offered.
    const uint32_t flagged = line.format == FormatStyle::Printf ? c.s.sets.WithFlag(value, kPrintf) : value;
    if (target.unknown)
        c.Use(flagged, c.UnknownSink(consumer));
    if (target.holders != 0)
        PutInto(c, target.holders, flagged, consumer);
}

bool NamesWindowClasses(const classfile::ClassFile& cf)
{
    for (size_t i = 1; i < cf.pool.size(); ++i) {
        if (cf.pool[i].tag != Tag::Class)
            continue;
        const std::string_view name = cf.ClassName(static_cast<uint16_t>(i));
        if (name.starts_with("javax/swing/") || name.starts_with("org/eclipse/swt/widgets/") ||
            name.starts_with("javafx/stage/") || name.starts_with("javafx/scene/control/"))
            return true;
        // Not AWT's colours, fonts, images and geometry, which programs without a window use.
        if (name.starts_with("java/awt/") &&
            OneOf(name.substr(9), {"Frame", "Dialog", "Window", "Component", "Container", "Panel", "Canvas",
                                   "Button", "Label", "Checkbox", "Choice", "List", "TextField", "TextArea",
                                   "MenuBar", "Menu", "MenuItem", "PopupMenu", "FileDialog", "ScrollPane",
                                   "SystemTray", "TrayIcon"}))
            return true;
    }
    return false;
}

void ConsoleLinesInWindowedPrograms(std::span<ClassFacts> classes)
{
    if (std::none_of(classes.begin(), classes.end(), [](const ClassFacts& c) { return c.showsWindows; }))
        return;
    for (ClassFacts& c : classes) {
        for (Sink& sink : c.sinks) {
            if (sink.kind == SinkKind::Consumer && sink.use == Use::Message && sink.parameter == kConsoleLine)
                sink.use = Use::Log;
        }
    }
}

}  // namespace cl::usage

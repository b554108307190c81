#include "usage/ActionValues.h"

#include <algorithm>

namespace cl::usage {

using classfile::Tag;

namespace {

enum class ActionKey : uint8_t {
    Text,     // NAME, SHORT_DESCRIPTION, LONG_DESCRIPTION: shown
    Command,  // ACTION_COMMAND_KEY: compared by the listeners
    Value,    // Action's other keys: icons, keystrokes, mnemonics, selection
    Own,      // a key of the program's own
    Unknown,  // not one string constant
};

ActionKey KeyOf(FlowContext& c, uint32_t element)
{
    const Source& s = c.s.sources[element >> 2];
    if (s.kind != kLiteral)
        return ActionKey::Unknown;
    const classfile::Constant* string = c.file.At(static_cast<uint16_t>(s.value), Tag::String);
    if (string == nullptr)
        return ActionKey::Unknown;
    const std::string_view key = c.file.Utf8Bytes(string->StringIndex());
    if (key == "Name" || key == "ShortDescription" || key == "LongDescription")
        return ActionKey::Text;
    if (key == "ActionCommandKey")
        return ActionKey::Command;
    static constexpr std::string_view kValues[] = {"SmallIcon", "SwingLargeIconKey", "AcceleratorKey", "MnemonicKey",
                                                   "SwingSelectedKey", "SwingDisplayedMnemonicIndexKey"};
    if (std::find(std::begin(kValues), std::end(kValues), key) != std::end(kValues))
        return ActionKey::Value;
    return ActionKey::Own;
}

}  // namespace

bool ApplyActionValue(FlowContext& c, const CallSite& site, const uint32_t* args, size_t count)
{
    if (count != 3 || args[2] == 0 || c.file.Utf8Bytes(site.nameIndex) != "putValue" ||
        c.file.Utf8Bytes(site.descriptorIndex) != "(Ljava/lang/String;Ljava/lang/Object;)V")
        return false;
    // Swing's own Action classes; a class of the program's own is taken for an Action only
    // under Action's keys (a putValue of another kind of its own keeps its callee's uses).
    const bool swing = site.libraryOwner && c.file.ClassName(site.classIndex).starts_with("javax/swing/");
    if (!swing && site.libraryOwner)
        return false;
    ActionKey key = ActionKey::Unknown;
    bool first = true;
    for (const uint32_t element : c.s.sets.Elements(args[1])) {
        const ActionKey k = KeyOf(c, element);
        key = first || k == key ? k : ActionKey::Unknown;
        first = false;
    }
    const uint32_t consumer = c.scope.Consumer(site);
    switch (key) {
        case ActionKey::Text: return false;  // the table's ui, or the callee's (an Action's putValue)
        case ActionKey::Command:
            c.Use(args[2], c.scope.AddSink({SinkKind::Consumer, Use::Key, FormatStyle::None, false, 0, consumer}));
            return true;
        case ActionKey::Value:
            c.Use(args[2], c.scope.AddSink({SinkKind::Consumer, Use::Data, FormatStyle::None, false, 0, consumer}));
            return true;
        case ActionKey::Own:
            if (!swing)
                return false;
            c.Use(args[2], c.scope.AddSink({SinkKind::Consumer, Use::Data, FormatStyle::None, false, 0, consumer}));
            return true;
        case ActionKey::Unknown:
            if (!swing)
                return false;
            c.Use(args[2], c.UnknownSink(consumer));
            return true;
    }
    return false;
}

}  // namespace cl::usage

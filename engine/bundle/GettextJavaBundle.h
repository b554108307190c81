#pragma once
// GNU gettext's Java bundles: the ResourceBundle subclass `msgfmt --java2` makes for each
// language (`-r org.example.Messages -l zh_CN` gives org/example/Messages_zh_CN.class and the
// anonymous Enumeration org/example/Messages_zh_CN$1.class), read into its messages and written
// back from them, without msgfmt or javac.
//
// The layout msgfmt writes (as Java source, which it compiles with javac; Jmol's bundles are
// the same, class version 51):
//   class Messages_zh_CN extends java.util.ResourceBundle {
//     private static final String[] table;     // Object[] when some message has plural forms
//     static { T[] t = new T[2 * p]; t[2i] = key; t[2i + 1] = value; ... table = t; }
//     handleGetObject(String msgid)             // or lookup(String), with plural forms
//     getKeys()                                 // new $1(this): walks the table's even slots
//     getParent()                               // for gnu.gettext.GettextResource's fallback
//     static T[] access$000()                   // the table, for $1 (no nestmates in 51)
//   }
// plus, when some message has plural forms:
//     static final String[] get_msgid_plural_table()   // the msgid_plurals, in slot order
//     Object lookup(String msgid)               // what GettextResource.ngettext calls by reflection
//     handleGetObject(String msgid)             // lookup(msgid), the first form of a String[]
//     static long pluralEval(long n)            // the header's Plural-Forms expression
// The table is an open-addressing hash table of p slot pairs: a key (msgid, or
// "msgctxt\u0004msgid" as gettext glues a context on) at 2i, its msgstr at 2i + 1 (a String[]
// of the forms for a plural message). A key goes to slot h % p, h = key.hashCode() &
// 0x7fffffff; on a collision it steps on by (h % (p - 2)) + 1 slots, modulo p. The header
// (msgid "") is a message like the others. An untranslated message is not in the table. Past
// about 1000 messages <clinit> would outgrow the 64 KiB a method's code may have, and msgfmt
// moves the stores into static methods clinit_part_0(T[] t), clinit_part_1 ... that <clinit>
// calls in turn. The $1 class compares its index with the table's length as a constant, so it
// is written anew with the table.
//
// The writer keeps that shape with choices of its own where any would do: p is the smallest
// prime above twice the messages (a prime, so that every step reaches every slot; at most half
// full, so that a search ends soon at an empty slot), lookup always has the collision loop,
// <clinit> moves to parts only when its code would pass 64 KiB, and an index past 32767 is
// pushed as (high << 15) | low rather than as an Integer constant, which would take a pool
// entry per slot.
//
// A key is read back split at its first U+0004: a context that holds one reads back as a shorter
// context and a longer msgid, the same key for Java.
//
// Texts are UTF-8; a lone surrogate a Java string may hold is kept in its three-byte form (see
// text/CodePoints.h).

#include "errors/Result.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace cl::bundle {

struct GettextMessage {
    std::optional<std::string> context;  // msgctxt
    std::string msgid;
    // Present for a plural message (which may have a single form, as Chinese has).
    std::optional<std::string> msgidPlural;
    // One text; for a plural message one per plural form.
    std::vector<std::string> msgstr;

    // The table's key: the msgid, behind its context and U+0004 when it has one.
    std::string Key() const;
    bool operator==(const GettextMessage&) const = default;
};

struct GettextJavaBundle {
    std::string className;  // internal name: "org/jmol/translation/Jmol/zh_CN/Messages_zh_CN"
    uint16_t majorVersion = 0;
    // In the table's slot order (the order msgunfmt lists them in), the header among them.
    std::vector<GettextMessage> messages;
};

// Why a class is not a bundle in msgfmt's layout (ErrorKind::NotAGettextBundle, `fault`) or a
// bundle cannot be written (ErrorKind::GettextUnwritable, `fault`). The order is not significant.
enum class GettextFault : uint8_t {
    None,
    // Reading.
    ClassUnreadable,     // not a class file the parser can follow (`offset`: where it stopped)
    NotAResourceBundle,  // the superclass is not java.util.ResourceBundle
    NoTable,             // no static field `table` of type String[] or Object[]
    NoInitializer,       // no <clinit>, or `table` is not set from it
    UnknownCode,         // an instruction of <clinit> (or a part) outside the layout (`offset`)
    BadTable,            // a slot pair that is not (key, msgstr) or (null, null), or a key twice
    BadText,             // a string constant that is no valid modified UTF-8
    BadPluralTable,      // get_msgid_plural_table missing, or not one msgid_plural per plural message
    // Writing.
    BadClassName,        // not an internal class name a bundle can have
    DuplicateKey,        // two messages with one key (`entry`: the key)
    BadForms,            // a message without a msgstr, or with several but no msgid_plural (`entry`)
    TextTooLong,         // a text over 65535 bytes of modified UTF-8 (`entry`: its msgid)
    PoolFull,            // more than 65535 constants
    CodeTooLarge,        // a method's code would pass 65535 bytes (`entry`: a msgid in it)
    BadPluralForms,      // the header's plural expression cannot be compiled (`detail`)
};

// Reads the main class of a bundle (the $1 class holds no message). A class in another layout,
// or a broken one, gives ErrorKind::NotAGettextBundle with `fault` and, where it applies, the
// file `offset`; the caller names the file in `path` or `entry`.
Result<GettextJavaBundle> ReadGettextJavaBundle(std::string_view classBytes);

// The class msgfmt names for a bundle `base` ("org.jmol.translation.Jmol.zh_CN.Messages", dots
// or slashes) and `language` ("zh_CN"): "org/jmol/translation/Jmol/zh_CN/Messages_zh_CN".
std::string GettextBundleClassName(std::string_view base, std::string_view language);

// `existing` in its order, each message replaced by the update with its key, then the updates
// for new keys in their order. An update with no non-empty msgstr translates nothing and is
// left out: msgfmt leaves untranslated messages out too, and Java would show an empty text.
std::vector<GettextMessage> MergeGettextMessages(const std::vector<GettextMessage>& existing,
                                                 const std::vector<GettextMessage>& updates);

struct GettextJavaClasses {
    std::string mainPath;  // "org/example/Messages_zh_CN.class"
    std::string mainBytes;
    std::string enumerationPath;  // "org/example/Messages_zh_CN$1.class"
    std::string enumerationBytes;
};

// The two classes of a bundle holding `messages` as given (empty msgstrs included), in the
// layout above, class version 51. pluralEval, when a message is plural, computes the header's
// "plural=" expression (gettext's default n != 1 without one). A limit of the class-file format
// that the messages would pass gives ErrorKind::GettextUnwritable and no bytes.
Result<GettextJavaClasses> WriteGettextJavaBundle(std::string_view className,
                                                  const std::vector<GettextMessage>& messages);

// The program's own bundle with the updates in it: every message it has, those the updates
// replace, and the new ones (MergeGettextMessages), written under the bundle's own class name.
Result<GettextJavaClasses> UpdateGettextJavaBundle(std::string_view classBytes,
                                                   const std::vector<GettextMessage>& updates);

}  // namespace cl::bundle

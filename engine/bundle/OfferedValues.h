#pragma once
// Which values of a bundle are offered to the translator. Some are not texts at all (empty,
// one character, no letter) and some must stay as they are because the program reads them as
// keys of the keyboard (a mnemonic, an accelerator, a shortcut or a keystroke). A value that is
// a MessageFormat pattern with arguments is marked so that the catalogue carries the
// java-format flag and the translation is checked against it.

#include <cstdint>
#include <string_view>

namespace cl::bundle {

enum class NotOffered : uint8_t {
    No,            // offered
    Empty,
    OneCharacter,  // one code point
    NoLetter,      // not one letter of any script
    KeyboardKey,   // the key's last word is mnemonic, accelerator, shortcut or keystroke
    NotCatalogueText,  // holds U+0000 or a lone surrogate, which no PO catalogue can hold
};

struct ValueOffer {
    NotOffered reason = NotOffered::No;
    bool javaFormat = false;  // a valid MessageFormat pattern with at least one argument
    // OneCharacter, and that character a letter under a key that names no key of the keyboard
    // (a unit's "m", a compass point's "N"): as often a text shown as a code read, it is offered
    // only where a lookup is seen to show it.
    bool oneLetter = false;
    bool offered() const { return reason == NotOffered::No; }
};

ValueOffer OfferValue(std::string_view key, std::string_view value);

// True when the last word of `key` names a key of the keyboard. Words are split at '.', '_',
// '-' and where camelCase starts a new one: "menu.file.mnemonic", "T_SAVE_ACCELERATOR",
// "saveShortcut", "open.keystroke", "openKeyStroke".
bool NamesKeyboardKey(std::string_view key);

}  // namespace cl::bundle

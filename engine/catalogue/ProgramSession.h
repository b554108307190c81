#pragma once
// ProgramSession: one whole-program translation, as the translator works on it. It owns the
// program that was opened (a jar, a folder or a class), every text it offers with the places
// that use it, the translations with their state, the catalogue file they were read from or
// saved to, and whether they changed since. Both front ends drive it: the command line's
// extract and apply are a few calls to it, the translation window presents it.
//
// Opening reads and analyses the program; generating writes its translated copy (a new file or
// folder, or the input in place with its backup) after every check has passed, so that nothing
// is written while any translation has a problem.

#include "catalogue/BundleTexts.h"
#include "catalogue/CatalogueWording.h"
#include "catalogue/Po.h"
#include "catalogue/Program.h"
#include "catalogue/ProgramOutput.h"
#include "catalogue/Progress.h"
#include "catalogue/Translation.h"
#include "catalogue/TranslationCheck.h"
#include "errors/Result.h"
#include "files/FileSystem.h"
#include "usage/ProgramUsage.h"

#include <array>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace cl::catalogue {

// One place of a text: the class (an index into ProgramFacts::classNames) and the methods whose
// code loads it (no method for annotation values and constant fields); or, for a bundle value,
// the bundle file and the key.
struct SessionPlace {
    std::size_t classIndex = 0;
    uint16_t index = 0;  // the CONSTANT_String (the CONSTANT_Utf8 of an annotation value)
    PlaceKind kind = PlaceKind::Literal;
    std::vector<std::string> methods;
    std::string file;  // PlaceKind::Bundle: the source file of the family
    std::string key;   // PlaceKind::Bundle: the key of the value
    // PlaceKind::Bundle: what its shape or its family decides where no lookup reads it.
    WithoutLookup withoutLookup = WithoutLookup::ShapeDecides;
    // Left as it is when the translation is written: of a text offered for its other places,
    // one where the program only keeps or passes on the text, as data.
    bool kept = false;
    // A literal its class both shows and reads: the methods (indexes into the class's methods)
    // whose loads take the translation; the class's other loads keep the text. Empty: every load.
    std::vector<uint16_t> shownIn;
};

enum class EntryState : uint8_t {
    Untranslated,
    Translated,
    NeedsReview,  // a translation marked fuzzy: kept, shown, not written into the program
};

struct SessionEntry {
    // What the program offers.
    std::string context;  // msgctxt; empty for a text with none
    std::string msgid;
    std::vector<PoReference> references;
    std::vector<SessionPlace> places;
    std::size_t slotCount = 0;  // the most slots of any recipe place; 0 when no place is a recipe
    bool recipe = false;
    bool inCode = false;  // some place is a literal, a recipe or a bundle value, not only an annotation value
    bool inClass = false;  // some place is in a class file, whose texts hold 65535 bytes at most
    bool javaFormat = false;  // a MessageFormat pattern with arguments (the catalogue's java-format)
    bool printf = false;      // a printf pattern: its conversions are checked
    // Where the text goes (usage/): what the program does with it, through what; whether a
    // translator is offered it, and when not, every place that forbids a change.
    usage::Use use = usage::Use::Ui;
    std::string consumer;
    bool offered = true;
    std::vector<usage::Finding> forbidding;
    // Every use found at its places (its class places and its bundle values alike), in
    // usage::NoteRank order, one consumer each: what an offered text's note names.
    std::vector<usage::UseFound> uses;
    // Offered for the bundle values it holds, while its places in classes are read by the
    // program: a translation goes into the bundles only.
    bool classPlacesWithheld = false;
    // What the translator made of it.
    std::string translation;
    bool fuzzy = false;
    std::vector<std::string> translatorComments;
    bool hasPreviousMsgid = false;
    std::string previousMsgid;  // the text the translation was made for, when it changed since
    TranslationProblem problem = TranslationProblem::None;

    TextChecks Checks() const { return {recipe, slotCount, javaFormat, printf, inClass}; }
    EntryState State() const
    {
        if (translation.empty())
            return EntryState::Untranslated;
        return fuzzy ? EntryState::NeedsReview : EntryState::Translated;
    }
    // Whether the entry belongs in the catalogue: texts of the code always, annotation values
    // only when they are asked for.
    bool Included(bool annotations) const { return annotations || inCode; }
};

// Why a text the program reads is withheld: the use that needs it unchanged; for a bundle value
// no lookup is seen to read, its shape (a path, a colour, a keystroke...) or its family's (a
// family of settings). Other: none of these (no decision gives one today).
enum class WithheldReason : uint8_t { Key, Name, Pattern, Data, ValueShape, SettingsFamily, Other };
inline constexpr std::size_t kWithheldReasonCount = 7;

// What opening found besides the texts.
struct ProgramFacts {
    std::string path;
    std::string name;
    ProgramKind kind = ProgramKind::Jar;
    std::vector<std::string> classNames;  // binary names with dots, in the program's class order
    std::size_t classCount = 0;
    std::size_t notOfferable = 0;          // texts a PO cannot carry, and recipes with constants
    std::vector<std::string> unparsable;   // classes that did not parse, copied unchanged
    std::vector<UnreadablePart> unreadable;
    std::vector<std::string> nestedJars;
    // Resource bundles.
    std::size_t bundleFamilies = 0;       // families whose texts are offered
    std::size_t bundleTexts = 0;          // values offered
    std::size_t bundleValuesNotOffered = 0;  // too short, no letter, or naming a key of the keyboard
    std::size_t keysWithheld = 0;         // class texts that are keys of a bundle, not offered
    std::size_t filledFromProgram = 0;    // entries translated by the program's own variant
    std::vector<std::string> bundlesWithoutSource;  // families with neither a base nor an English file
    std::vector<std::string> bundleTables;  // lone files the program reads as tables, not offered
    std::size_t withheld = 0;             // texts withheld because the program reads them
    std::array<std::size_t, kWithheldReasonCount> withheldBy{};  // the same per WithheldReason
    std::vector<Error> unreadableBundles;  // files Java would refuse to read, left out
    // How the program starts, for a run of its translated copy (read by StartFacts.h).
    std::string mainClass;                 // a jar manifest's Main-Class ('/' read as '.'); empty: none
    std::vector<std::string> classPath;    // a jar manifest's Class-Path entries, as written
    std::vector<std::string> mainClasses;  // classes with public static void main(String[]), in class order
    // The input holds an earlier translation in place: the originals it was read from (the
    // backup of a jar or class; the backup folder of a folder's originals); empty otherwise.
    std::string translatedFrom;
};

struct OpenOptions {
    // Offer annotation values besides the texts of the code.
    bool annotations = false;
    // Keep the program (its classes, parsed) for a generate that follows at once, instead of
    // reading it again then: what the command line's apply wants; a window keeps only texts.
    bool keepProgram = false;
    // Name the methods that use each text (what a window shows); the command line needs none.
    bool methods = false;
    // The catalogue's language: the program's own bundle variant for it gives a start.
    std::string language = kDefaultLanguage;
    // Work out where each literal goes and offer only what people read; off, every literal is
    // offered (and named of no use).
    bool usage = true;
    // An input that holds an earlier translation in place is translated from the originals that
    // run kept (ProgramFacts::translatedFrom says so); off, it is read as it is.
    ReadAs readAs = ReadAs::Originals;
};

// An entry's translation as it stands, to put back what an import changed.
struct EntryValue {
    std::string translation;
    bool fuzzy = false;
};

// What a catalogue brought in.
struct ImportSummary {
    std::size_t filled = 0;        // translated, not fuzzy, entries whose text is in the program
    std::size_t fuzzy = 0;         // fuzzy entries with a translation (filled as needing review)
    std::size_t fuzzyFilled = 0;   // of those, the ones whose text is in the program
    std::size_t untranslated = 0;  // entries with an empty translation
    std::size_t notFound = 0;      // translated, not fuzzy, entries the program does not hold
    std::size_t plural = 0;        // plural entries (the program's texts have no plural forms)
    std::size_t obsolete = 0;      // "#~" entries, kept
    // The entries the import changed, with what they held before.
    std::vector<std::pair<std::size_t, EntryValue>> changed;
};

enum class ImportMode {
    // The catalogue this session continues (the one beside the program): it becomes the
    // session's catalogue, its obsolete entries and the translations of texts the program no
    // longer holds are kept (as obsolete entries), and nothing counts as changed.
    Continue,
    // Translations brought in from another catalogue: they fill the entries, as a change.
    Merge,
};

struct CatalogueHeader {
    std::string project;    // empty: the program's name
    std::string generator;  // X-Generator
};

struct GenerateRequest {
    std::string output;    // where the translated program goes; ignored in place
    bool inPlace = false;  // replace the input, keeping it as INPUT.bak
    bool annotations = false;  // annotation values' translations too
    // Where bundle translations go: the variant a run in the catalogue's language reads, or
    // each family's source itself.
    BundleTarget bundles = BundleTarget::Variant;
};

// What generating did.
struct GenerateReport {
    ApplySummary summary;
    std::size_t bundleTextsWritten = 0;  // translations written into bundle variants
    std::vector<std::string> variantsWritten;  // the variant files written, new or replaced
    // Per family written, in the order of variantsWritten: the file and whether a run in the
    // catalogue's language finds the translations there.
    std::vector<BundleFileWritten> bundleFiles;
    OutputReport output;
    std::vector<std::string> unparsable;
    std::vector<UnreadablePart> unreadable;
    std::vector<std::string> nestedJars;
    std::size_t notOfferable = 0;
};

// Every string a program holds, as `strings` lists them: the Utf8 entries of its classes (all, or
// only literals, recipes and keys) with where each loaded text goes, then its bundle values; and
// what could not be read.
struct StringListing {
    struct ClassString {
        ListedString row;
        std::optional<usage::Use> use;  // none: the entry is not the text of a string constant
    };
    std::vector<ClassString> classStrings;
    std::vector<ListedString> bundleStrings;
    std::vector<UnreadablePart> unreadable;
    std::vector<std::string> unparsable;
    std::vector<Error> unreadableBundles;
};

// A translated program made, waiting to be put in its place; gone when discarded or destroyed.
class PreparedGenerate {
public:
    PreparedGenerate(PreparedGenerate&&) noexcept = default;
    PreparedGenerate& operator=(PreparedGenerate&&) noexcept = default;
    // Nothing can be written: the problems say why (each names its text and place).
    const std::vector<ApplyProblem>& Problems() const { return problems_; }
    bool HasProblems() const { return !problems_.empty(); }
    // Puts the program in its place; once only. Refused while there are problems.
    Result<GenerateReport> Commit();
    void Discard() { staged_.reset(); }

private:
    friend class ProgramSession;
    PreparedGenerate() = default;
    std::vector<ApplyProblem> problems_;
    std::optional<StagedOutput> staged_;
    GenerateReport report_;
};

class ProgramSession {
public:
    explicit ProgramSession(FileSystem& fs = NativeFileSystem());
    // A session over a program already analysed (as a test or a benchmark builds one): its
    // facts and texts, nothing translated. Generating reads the program from `facts.path`.
    static ProgramSession Assemble(ProgramFacts facts, std::vector<SessionEntry> entries,
                                   FileSystem& fs = NativeFileSystem());
    // The translations as they stand, without the program kept: what a generate running beside
    // further editing works from.
    ProgramSession Snapshot() const;
    ~ProgramSession();
    ProgramSession(ProgramSession&&) noexcept;
    ProgramSession& operator=(ProgramSession&&) noexcept;

    // Reads and analyses the program. On failure or cancel (ErrorKind::Cancelled) the session
    // is as it was.
    Status Open(const std::string& path, const OpenOptions& options, const Progress& progress = {});
    bool IsOpen() const { return open_; }
    const ProgramFacts& Facts() const { return facts_; }
    const std::vector<SessionEntry>& Entries() const { return entries_; }
    // The classes (binary names with dots, each once) whose places keep an entry's text as it is.
    std::vector<std::string> KeptIn(const SessionEntry& entry) const;
    // The entry of a text (with its context), if the program offers it.
    std::optional<std::size_t> Find(const std::string& context, const std::string& msgid) const;

    // Changes the translation of an entry and gives back its check. A fuzzy entry stays fuzzy:
    // AcceptEntry says the translation is right.
    TranslationProblem SetTranslation(std::size_t entry, std::string translation);
    void SetFuzzy(std::size_t entry, bool fuzzy);
    EntryValue ValueOf(std::size_t entry) const;
    void Restore(std::size_t entry, EntryValue value);
    // The one gate of generating, and of a trial run, which is a generate: the entries whose
    // translations keep the program from being written, in entry order. Only a translation that
    // would be written blocks: one needing review stays out of the program, so its problem keeps
    // nothing out.
    std::vector<std::size_t> Blockers(bool annotations) const;
    // What generating writes into the program: the translated entries (not needing review)
    // whose translations pass the check.
    std::vector<PoMessage> MessagesToApply(bool annotations) const;

    // The catalogue.
    Result<ImportSummary> ImportCatalogue(const std::string& path, ImportMode mode);
    // The same with the messages of a catalogue already read from `from`.
    ImportSummary ImportMessages(const PoCatalogue& catalogue, ImportMode mode, const std::string& from);
    const std::string& CataloguePath() const { return cataloguePath_; }
    // The language of the catalogue: the one read, or given when opening, else kDefaultLanguage.
    const std::string& Language() const { return language_; }
    // Whether some translation differs from what was saved (or read from the catalogue this
    // session continues). Changed back, by an undo or by hand, it no longer counts: the session
    // compares, so no front end has to say so.
    bool IsModified() const { return !unsaved_.empty(); }
    // The catalogue as PO text: every included entry offered (every one with `all`), any other
    // one that has a translation, and the obsolete entries kept.
    std::string CatalogueText(const CatalogueHeader& header, bool annotations, const CatalogueWording& wording,
                              bool all = false) const;
    // Writes the catalogue atomically to `path` (empty: the session's catalogue), which then is
    // the session's catalogue, unchanged.
    Status SaveCatalogue(const std::string& path, const CatalogueHeader& header, bool annotations,
                         const CatalogueWording& wording, bool all = false);

    // The strings of the program at `path`, each with its use (`strings`): read and analysed
    // whole, for the listing only; the session's own program and translations stay as they are.
    Result<StringListing> ListStrings(const std::string& path, bool all, const Progress& progress = {}) const;

    // The translated program: reads the program again unless it was kept, checks every
    // translation against every place and every output rule, and makes the new program beside
    // its destination. Nothing is written while any translation has a problem: the result then
    // holds the problems, and can only be discarded.
    Result<PreparedGenerate> PrepareGenerate(const GenerateRequest& request, const Progress& progress = {});

private:
    void Recheck(SessionEntry& entry);
    // Called with an entry's value from before a change, once the change is made.
    void NoteChange(std::size_t index, const EntryValue& before);
    void AddVariants(const Program& program, const Extraction& extraction, BundleTarget target,
                     OutputChanges& changes, GenerateReport& report) const;

    FileSystem* fs_;
    bool open_ = false;
    OpenOptions options_;
    ProgramFacts facts_;
    std::vector<SessionEntry> entries_;
    std::unordered_map<std::string, std::size_t> byKey_;  // EntryKey -> entry
    std::vector<PoEntry> obsolete_;                       // kept, written back as "#~"
    std::string cataloguePath_;
    std::string language_ = kDefaultLanguage;
    // Of each entry changed since the translations were last saved, the value it had then.
    std::unordered_map<std::size_t, EntryValue> unsaved_;
    // The program and its analysis, kept when asked to.
    std::unique_ptr<Program> program_;
    std::unique_ptr<Extraction> extraction_;
};

}  // namespace cl::catalogue

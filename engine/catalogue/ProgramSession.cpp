#include "catalogue/ProgramSession.h"

#include "catalogue/BundleTexts.h"
#include "catalogue/StartFacts.h"
#include "classfile/ModifiedUtf8.h"
#include "files/FileOps.h"
#include "files/SameFile.h"
#include "formats/Printf.h"
#include "usage/ProgramUsage.h"
#include "usage/TextShape.h"

#include <algorithm>
#include <iterator>
#include <unordered_set>

namespace cl::catalogue {

namespace {

using classfile::ClassFile;
using classfile::Tag;

Error SessionError(ErrorKind kind, const std::string& path = {})
{
    Error error(kind, path);
    error.task = ErrorTask::Program;
    return error;
}

std::string Readable(std::string_view modified)
{
    std::string utf8;
    if (!classfile::Utf8FromModifiedUtf8(modified, utf8).Ok())
        utf8.assign(modified);
    return utf8;
}

// For every CONSTANT_String of the class, the methods whose code loads it: by ldc, or as the
// recipe of a string concatenation the method performs.
std::unordered_map<uint16_t, std::vector<uint16_t>> MethodsByString(const ClassFile& cf)
{
    std::unordered_map<uint16_t, std::vector<uint16_t>> users;
    auto note = [&](uint16_t string, uint16_t method) {
        std::vector<uint16_t>& methods = users[string];
        if (std::find(methods.begin(), methods.end(), method) == methods.end())
            methods.push_back(method);
    };
    for (const classfile::CodeInfo& code : cf.codes) {
        for (const classfile::LoadedString& loaded : code.strings)
            note(loaded.stringIndex, code.method);
        for (const classfile::InvokeDynamicSite& site : code.invokeDynamics) {
            const classfile::Constant* indy = cf.At(site.invokeDynamicIndex, Tag::InvokeDynamic);
            if (indy == nullptr || indy->BootstrapIndex() >= cf.bootstrapMethods.size())
                continue;
            const auto arguments = cf.Arguments(cf.bootstrapMethods[indy->BootstrapIndex()]);
            if (!arguments.empty() && cf.At(arguments[0], Tag::String))
                note(arguments[0], code.method);
        }
    }
    return users;
}

std::string BinaryName(const ClassFile& cf, const std::string& entry)
{
    std::string name = cf.parsed ? Readable(cf.ThisClassName()) : std::string();
    if (name.empty()) {
        name = entry;
        if (name.size() > 6 && name.compare(name.size() - 6, 6, ".class") == 0)
            name.resize(name.size() - 6);
    }
    std::replace(name.begin(), name.end(), '/', '.');
    return name;
}

std::string KeyOf(const PoMessage& message)
{
    return message.hasContext ? EntryKey(message.context, message.msgid) : message.msgid;
}

std::string KeyOf(const SessionEntry& entry)
{
    return entry.context.empty() ? entry.msgid : EntryKey(entry.context, entry.msgid);
}

// What the session is building while a program opens; handed over whole once it is done.
struct Opening {
    ProgramFacts facts;
    std::vector<SessionEntry> entries;
    std::unordered_map<std::string, std::size_t> byKey;
    std::unordered_set<std::string> names;  // string constants that could name a bundle
    std::vector<usage::ClassFacts> usage;   // where each class's literals go, in class order
    std::unordered_map<std::string, std::size_t> switchCases;  // text -> a class switching on it
};

std::string BundleContext(const BundleText& text)
{
    return text.file + ":" + text.key;
}

// The texts of the program's resource bundles, beside those of its classes: a class text that
// is a key of a bundle goes (it is how the program looks a text up), each offered value joins
// the entry of its text, and the program's own variant for the language gives the start. Where
// that variant translates one text two ways, the keys concerned get entries of their own (the
// file and key as context), so that neither translation is lost.
void AddBundles(const Program& program, const std::string& language, Opening& opening)
{
    const BundleAnalysis analysis = AnalyseBundles(
        PropertiesFilesOf(program), [&](std::string_view name) { return opening.names.count(std::string(name)) != 0; },
        [&](std::string_view text) { return opening.byKey.count(std::string(text)) != 0; }, language);
    ProgramFacts& facts = opening.facts;
    facts.bundlesWithoutSource = analysis.withoutSource;
    facts.bundleTables = analysis.tables;
    facts.unreadableBundles = analysis.unreadable;
    facts.bundleValuesNotOffered = analysis.notOffered;
    for (std::size_t f = 0; f < analysis.families.size(); ++f) {
        if (analysis.offered[f] && !analysis.sources[f].entries.empty())
            ++facts.bundleFamilies;
    }

    if (!analysis.keys.empty()) {
        std::vector<SessionEntry> kept;
        kept.reserve(opening.entries.size());
        for (SessionEntry& entry : opening.entries) {
            if (analysis.keys.count(entry.msgid) != 0)
                ++facts.keysWithheld;
            else
                kept.push_back(std::move(entry));
        }
        opening.entries = std::move(kept);
        opening.byKey.clear();
        for (std::size_t i = 0; i < opening.entries.size(); ++i)
            opening.byKey.emplace(KeyOf(opening.entries[i]), i);
    }

    std::unordered_map<std::string, std::unordered_set<std::string>> translationsOf;
    for (const BundleText& text : analysis.texts) {
        if (text.existing)
            translationsOf[text.value].insert(*text.existing);
    }
    for (const BundleText& text : analysis.texts) {
        const bool own = text.existing && translationsOf[text.value].size() > 1;
        const std::string context = own ? BundleContext(text) : std::string();
        auto [it, fresh] = opening.byKey.emplace(own ? EntryKey(context, text.value) : text.value, opening.entries.size());
        if (fresh) {
            opening.entries.emplace_back();
            opening.entries.back().context = context;
            opening.entries.back().msgid = text.value;
        }
        SessionEntry& entry = opening.entries[it->second];
        SessionPlace place;
        place.kind = PlaceKind::Bundle;
        place.file = text.file;
        place.key = text.key;
        place.withoutLookup = text.withoutLookup;
        entry.places.push_back(std::move(place));
        entry.references.push_back({text.file, 0, text.key});
        entry.inCode = true;
        entry.javaFormat = entry.javaFormat || text.javaFormat;
        ++facts.bundleTexts;
        if (text.existing && entry.translation.empty()) {
            entry.translation = *text.existing;
            ++facts.filledFromProgram;
        }
    }
    for (SessionEntry& entry : opening.entries)
        entry.problem = CheckTranslation(entry.Checks(), entry.msgid, entry.translation);
}

// Adds the texts of a batch of classes (the program's classes from `first` on) to what opens.
void AddBatch(const Program& batch, Extraction& extraction, std::size_t first, const OpenOptions& options,
              Opening& opening)
{
    opening.usage.insert(opening.usage.end(), std::make_move_iterator(extraction.usageFacts.begin()),
                         std::make_move_iterator(extraction.usageFacts.end()));
    ProgramFacts& facts = opening.facts;
    facts.notOfferable += extraction.notOfferable;
    opening.names.insert(extraction.names.begin(), extraction.names.end());
    for (const auto& [text, ci] : extraction.switchCases)
        opening.switchCases.emplace(text, first + ci);
    facts.unparsable.insert(facts.unparsable.end(), extraction.unparsable.begin(), extraction.unparsable.end());
    for (std::size_t ci = 0; ci < batch.classes.size(); ++ci) {
        facts.classNames.push_back(BinaryName(extraction.classFiles[ci], batch.classes[ci].entry));
        if (HasMainMethod(extraction.classFiles[ci]))
            facts.mainClasses.push_back(facts.classNames.back());
    }

    // Which methods use which string, worked out only for classes that offer texts.
    std::vector<std::unordered_map<uint16_t, std::vector<uint16_t>>> users(batch.classes.size());
    std::vector<bool> known(batch.classes.size(), false);
    for (const CatalogueEntry& found : extraction.entries) {
        const std::string key = found.context.empty() ? found.msgid : EntryKey(found.context, found.msgid);
        auto [it, fresh] = opening.byKey.emplace(key, opening.entries.size());
        if (fresh) {
            opening.entries.emplace_back();
            opening.entries.back().context = found.context;
            opening.entries.back().msgid = found.msgid;
        }
        SessionEntry& entry = opening.entries[it->second];
        for (const Place& place : found.places) {
            entry.references.push_back({batch.classes[place.classIndex].entry, place.index});
            SessionPlace shown;
            shown.classIndex = first + place.classIndex;
            shown.kind = place.kind;
            shown.index = place.index;
            entry.inClass = true;
            if (place.kind != PlaceKind::Annotation) {
                const ClassFile& cf = extraction.classFiles[place.classIndex];
                if (options.methods) {
                    if (!known[place.classIndex]) {
                        users[place.classIndex] = MethodsByString(cf);
                        known[place.classIndex] = true;
                    }
                    const auto methods = users[place.classIndex].find(place.index);
                    if (methods != users[place.classIndex].end())
                        for (const uint16_t method : methods->second)
                            if (method < cf.methods.size())
                                shown.methods.push_back(Readable(cf.Utf8Bytes(cf.methods[method].nameIndex)));
                }
                entry.inCode = true;
            }
            if (place.kind == PlaceKind::Recipe) {
                entry.recipe = true;
                entry.slotCount = std::max(entry.slotCount, place.slotCount);
            }
            entry.places.push_back(std::move(shown));
        }
    }
}

// A text offered for what some places show may be mere data at another ("<null>" in an
// exception message, and what a toString writes for a null); the translation then goes to the
// places that show it. A place compared by equality is not data: it changes with the label it
// is compared with - unless the text is a translation call's message id (`messageId`): then a
// place that is only a key is the program's table of translations (a gettext bundle class's
// msgids, placed by their hash), which must keep the English text the calls looked up.
void KeepDataPlaces(const usage::ProgramUsage& uses, SessionEntry& entry, bool messageId)
{
    for (SessionPlace& place : entry.places) {
        if (place.kind != PlaceKind::Literal && place.kind != PlaceKind::Recipe)
            continue;
        const usage::PlaceRef ref{place.classIndex, place.index};
        const usage::Use use = uses.Decide(entry.msgid, std::span<const usage::PlaceRef>(&ref, 1)).use;
        place.kept = use == usage::Use::Data || (messageId && use == usage::Use::Key);
    }
}

// The values of an entry's bundle places, judged by where the program's lookups of their keys
// send them: a value the program reads (an icon's path, a keystroke, a class name, a label it
// compares) is kept as it is, with the reason. A value no lookup is known to read is offered.
// True when some bundle place is offered.
bool DecideBundlePlaces(const usage::ProgramUsage& uses, SessionEntry& entry, usage::Decision& shown,
                        usage::Decision& withheld)
{
    bool offered = false;
    bool allKnown = true;
    bool messageFormat = false;
    for (SessionPlace& place : entry.places) {
        if (place.kind != PlaceKind::Bundle)
            continue;
        std::optional<usage::Decision> decision = uses.DecideLookedUp(place.key, entry.msgid);
        const auto keptWithoutLookup = [&] {
            switch (place.withoutLookup) {
                case WithoutLookup::ShapeDecides: return usage::BundleValueIsData(place.key, entry.msgid);
                case WithoutLookup::Offered: return false;
                case WithoutLookup::KeptForShape:
                case WithoutLookup::KeptForSettings: break;
            }
            return true;
        };
        if (!decision && keptWithoutLookup()) {
            // No lookup of a known use reads it, and it reads as a path, a colour, a switch,
            // a keystroke or a constant's name, or its family holds settings: the program's,
            // not a person's.
            decision.emplace();
            decision->use = usage::Use::Data;
            decision->consumer =
                place.withoutLookup == WithoutLookup::KeptForSettings ? "family of settings" : "shape of the value";
            usage::Finding shape;
            shape.use = usage::Use::Data;
            shape.consumer = decision->consumer;
            shape.className = place.file;
            shape.method = place.key;
            decision->forbidding.push_back(std::move(shape));
            decision->uses.push_back({usage::Use::Data, usage::FormatStyle::None, decision->consumer});
        }
        if (!decision) {
            allKnown = false;
            offered = true;
            if (shown.consumer.empty()) {
                shown.use = usage::Use::Ui;
                shown.consumer = "resource bundle";
            }
            usage::AddUse(entry.uses, usage::Use::Ui, usage::FormatStyle::None, [] { return std::string("resource bundle"); });
            continue;
        }
        for (const usage::UseFound& use : decision->uses)
            usage::AddUse(entry.uses, use.use, use.format, [&] { return use.consumer; });
        messageFormat = messageFormat || decision->format == usage::FormatStyle::MessageFormat;
        if (decision->format == usage::FormatStyle::Printf)
            entry.printf = true;
        if (decision->offered) {
            offered = true;
            if (shown.consumer.empty() || shown.consumer == "resource bundle" || decision->use == usage::Use::Format)
                shown = std::move(*decision);
        } else {
            place.kept = true;
            if (withheld.consumer.empty())
                withheld = std::move(*decision);
        }
    }
    // A value that every lookup shows without a MessageFormat has no quote rule of its own.
    if (allKnown)
        entry.javaFormat = messageFormat;
    else
        entry.javaFormat = entry.javaFormat || messageFormat;
    return offered;
}

// A text that one class shows and another reads (a menu's "Robot" and a file name's, a
// button's "OK" and an enum constant's) is translated where it is shown only: each place of a
// class is decided on its own, and the places that read it keep it. Within one class, each
// method that loads the text is such a place (the showing methods' loads get a constant of
// their own when the translation is written); not a field's constant value, which no method
// loads and whose readers are everywhere. Not where the reading is a comparison or a switch:
// the value compared may be the label itself (an action command is the button's text), and a
// switch's case is compiled into a hash, so the places that must agree are never split; nor
// where a string is matched against it (a prefix, a part): a shown line may be read back by the
// place that matches it ("0x" shown before a number and the parser's startsWith("0x")). A
// place seen only to hand the text to a library nobody here knows is no showing place: beside
// a place that reads the same text, it is likelier read the same way (BorderLayout's "Center"
// given to a panel's add), so it keeps the text too. True when the entry is offered for its
// shown places.
bool SplitByPlace(const usage::ProgramUsage& uses, SessionEntry& entry, usage::Decision& decision)
{
    struct Verdict {
        SessionPlace* place;
        bool oneMethod;
        uint16_t method;
        usage::Decision decision;
    };
    // The places to decide on their own first: most withheld texts have one place and one
    // method, and nothing to split.
    std::vector<Verdict> verdicts;
    for (SessionPlace& place : entry.places) {
        if (place.kind != PlaceKind::Literal && place.kind != PlaceKind::Recipe)
            continue;
        const usage::ProgramUsage::Loaders loaders =
            place.kind == PlaceKind::Literal ? uses.LoadersOf({place.classIndex, place.index}) : usage::ProgramUsage::Loaders{};
        if (loaders.methods.size() + (loaders.constantValue ? 1 : 0) < 2) {
            verdicts.push_back({&place, false, 0, {}});
            continue;
        }
        for (const uint16_t method : loaders.methods)
            verdicts.push_back({&place, true, method, {}});
        // A constant field's value (which javac also copies into the methods that read the
        // field) keeps the text, as no load of it can take another: where the field's readers
        // show it, the class is decided as a whole.
        if (loaders.constantValue)
            verdicts.push_back({&place, true, usage::kNoMethod, {}});
    }
    if (verdicts.size() < 2)
        return false;
    auto showing = [](const usage::Decision& d) { return d.offered && d.use != usage::Use::Unknown; };
    for (Verdict& v : verdicts) {
        const usage::PlaceRef ref{v.place->classIndex, v.place->index, v.oneMethod, v.method};
        v.decision = uses.Decide(entry.msgid, std::span<const usage::PlaceRef>(&ref, 1));
    }
    auto shownConstant = [&](const Verdict& v) {
        return v.oneMethod && v.method == usage::kNoMethod && showing(v.decision);
    };
    for (auto found = std::find_if(verdicts.begin(), verdicts.end(), shownConstant); found != verdicts.end();
         found = std::find_if(verdicts.begin(), verdicts.end(), shownConstant)) {
        SessionPlace* const whole = found->place;
        const usage::PlaceRef ref{whole->classIndex, whole->index};
        usage::Decision decision = uses.Decide(entry.msgid, std::span<const usage::PlaceRef>(&ref, 1));
        std::erase_if(verdicts, [&](const Verdict& v) { return v.place == whole; });
        verdicts.push_back({whole, false, 0, std::move(decision)});
    }
    const usage::Decision* shown = nullptr;
    for (const Verdict& v : verdicts) {
        const usage::Decision& d = v.decision;
        if (d.offered) {
            if (showing(d))
                shown = shown != nullptr ? shown : &d;
            continue;
        }
        // Compared (by equality, by a prefix...) or switched on: what it is compared with may
        // be what another place shows (a display string parsed back by its prefix, in the
        // method that holds the prefix). A key looked up in a table is no such comparison (the
        // table's keys come from its file), nor a match down a helper of the program's own
        // that every caller's key goes through.
        if (d.use == usage::Use::Key && d.forbidding.empty())
            return false;
        for (const usage::Finding& f : d.forbidding) {
            if (f.consumer == "switch" || f.equalsStyle ||
                (f.use == usage::Use::Key && f.via.empty() && f.consumer.starts_with("java/lang/String.")))
                return false;
        }
    }
    if (shown == nullptr)
        return false;
    std::vector<usage::Finding> read;
    for (Verdict& v : verdicts) {
        if (showing(v.decision))
            continue;
        read.insert(read.end(), v.decision.forbidding.begin(), v.decision.forbidding.end());
    }
    // A place is kept when none of its loads shows the text; one whose methods differ takes the
    // translation in its showing methods only.
    for (SessionPlace& place : entry.places) {
        bool anyShown = false;
        bool anyRead = false;
        std::vector<uint16_t> shownIn;
        bool mine = false;
        for (const Verdict& v : verdicts) {
            if (v.place != &place)
                continue;
            mine = true;
            if (showing(v.decision)) {
                anyShown = true;
                if (v.oneMethod)
                    shownIn.push_back(v.method);
            } else {
                anyRead = true;
            }
        }
        if (!mine)
            continue;
        place.kept = !anyShown;
        if (anyShown && anyRead)
            place.shownIn = std::move(shownIn);
    }
    usage::Decision offered = *shown;
    offered.forbidding = std::move(read);
    decision = std::move(offered);
    return true;
}

// Why a withheld entry is withheld, from the use its note names; the consumers are those
// DecideBundlePlaces gives a bundle value judged by its shape or its family.
WithheldReason ReasonOf(const SessionEntry& entry)
{
    switch (entry.use) {
        case usage::Use::Key: return WithheldReason::Key;
        case usage::Use::Name: return WithheldReason::Name;
        case usage::Use::Pattern: return WithheldReason::Pattern;
        case usage::Use::Data:
            if (entry.consumer == "shape of the value")
                return WithheldReason::ValueShape;
            if (entry.consumer == "family of settings")
                return WithheldReason::SettingsFamily;
            return WithheldReason::Data;
        default: return WithheldReason::Other;
    }
}

void CountWithheld(const SessionEntry& entry, ProgramFacts& facts)
{
    ++facts.withheld;
    ++facts.withheldBy[static_cast<std::size_t>(ReasonOf(entry))];
}

// Where each text goes, and whether a translator is offered it: what people read is, what the
// program reads is not. A text that bundles hold is offered for the places that show it; its
// places that the program reads are then left as they are.
void DecideUses(const OpenOptions& options, Opening& opening)
{
    if (!options.usage)
        return;
    const usage::ProgramUsage uses = usage::ProgramUsage::Solve(std::move(opening.usage));
    std::vector<usage::PlaceRef> refs;
    for (SessionEntry& entry : opening.entries) {
        refs.clear();
        bool bundle = false;
        for (const SessionPlace& place : entry.places) {
            if (place.kind == PlaceKind::Literal || place.kind == PlaceKind::Recipe)
                refs.push_back({place.classIndex, place.index});
            bundle = bundle || place.kind == PlaceKind::Bundle;
        }
        usage::Decision shownInBundles;
        usage::Decision withheldInBundles;
        const bool bundleOffered = bundle && DecideBundlePlaces(uses, entry, shownInBundles, withheldInBundles);
        if (refs.empty()) {
            // An annotation value is offered only when annotations are asked for, and what
            // reads it is not followed.
            const usage::Decision& bundleDecision = bundleOffered ? shownInBundles : withheldInBundles;
            entry.use = bundle ? bundleDecision.use : usage::Use::Unknown;
            entry.consumer = bundle ? bundleDecision.consumer : "annotation";
            if (bundle && !bundleOffered) {
                entry.offered = false;
                entry.forbidding = withheldInBundles.forbidding;
                CountWithheld(entry, opening.facts);
            }
            entry.problem = CheckTranslation(entry.Checks(), entry.msgid, entry.translation);
            continue;
        }
        usage::Decision decision = uses.Decide(entry.msgid, refs);
        // A string switch of some class compares this text: its case is compiled into the
        // text's hash and cannot change with it, and what it is compared with may be a label
        // of this entry (an action command is its button's text).
        const auto switched = opening.switchCases.find(entry.msgid);
        if (const auto found = switched; found != opening.switchCases.end() && decision.offered) {
            decision.offered = false;
            decision.use = usage::Use::Key;
            decision.consumer = "switch";
            usage::Finding f;
            f.use = usage::Use::Key;
            f.consumer = "switch";
            if (found->second < opening.facts.classNames.size())
                f.className = opening.facts.classNames[found->second];
            decision.forbidding = {std::move(f)};
        }
        const bool split =
            !decision.offered && switched == opening.switchCases.end() && SplitByPlace(uses, entry, decision);
        // The class places' uses first: where both name a use, the note names the code's consumer.
        for (const usage::UseFound& use : entry.uses)
            usage::AddUse(decision.uses, use.use, use.format, [&] { return use.consumer; });
        entry.uses = std::move(decision.uses);
        entry.offered = decision.offered || bundleOffered;
        entry.classPlacesWithheld = bundleOffered && !decision.offered;
        if (!decision.offered && bundleOffered) {
            entry.use = shownInBundles.use;
            entry.consumer = std::move(shownInBundles.consumer);
        } else {
            entry.use = decision.use;
            entry.consumer = std::move(decision.consumer);
            entry.forbidding = std::move(decision.forbidding);
            if (bundle && !bundleOffered && !decision.offered)
                entry.forbidding.insert(entry.forbidding.end(), withheldInBundles.forbidding.begin(),
                                        withheldInBundles.forbidding.end());
        }
        if (decision.format == usage::FormatStyle::MessageFormat)
            entry.javaFormat = true;
        else if (decision.format == usage::FormatStyle::Printf)
            entry.printf = true;
        if (!entry.offered)
            CountWithheld(entry, opening.facts);
        if (decision.offered && refs.size() > 1 && !split)
            KeepDataPlaces(uses, entry, !decision.translatedBy.empty());
        entry.problem = CheckTranslation(entry.Checks(), entry.msgid, entry.translation);
    }
}

}  // namespace

Result<GenerateReport> PreparedGenerate::Commit()
{
    if (!problems_.empty() || !staged_)
        return SessionError(ErrorKind::CannotWrite);
    Result<OutputReport> output = staged_->Commit();
    staged_.reset();
    if (!output)
        return std::move(output).error();
    report_.output = std::move(*output);
    // A variant left unwritten (it would have gone through a link) was not written.
    for (const Error& refused : report_.output.refused) {
        auto& written = report_.variantsWritten;
        written.erase(std::remove(written.begin(), written.end(), refused.entry), written.end());
        auto& files = report_.bundleFiles;
        files.erase(std::remove_if(files.begin(), files.end(),
                                   [&](const BundleFileWritten& file) { return file.path == refused.entry; }),
                    files.end());
    }
    return report_;
}

ProgramSession::ProgramSession(FileSystem& fs) : fs_(&fs) {}

ProgramSession ProgramSession::Assemble(ProgramFacts facts, std::vector<SessionEntry> entries, FileSystem& fs)
{
    ProgramSession session(fs);
    session.open_ = true;
    session.options_.annotations = true;
    session.options_.usage = false;  // nothing was worked out of where the texts go
    session.facts_ = std::move(facts);
    session.entries_ = std::move(entries);
    for (std::size_t i = 0; i < session.entries_.size(); ++i) {
        const SessionEntry& entry = session.entries_[i];
        session.byKey_.emplace(KeyOf(entry), i);
    }
    return session;
}

ProgramSession ProgramSession::Snapshot() const
{
    ProgramSession copy(*fs_);
    copy.open_ = open_;
    copy.options_ = options_;
    copy.options_.keepProgram = false;
    copy.facts_ = facts_;
    copy.entries_ = entries_;
    copy.byKey_ = byKey_;
    copy.obsolete_ = obsolete_;
    copy.cataloguePath_ = cataloguePath_;
    copy.language_ = language_;
    copy.unsaved_ = unsaved_;
    return copy;
}
ProgramSession::~ProgramSession() = default;
ProgramSession::ProgramSession(ProgramSession&&) noexcept = default;
ProgramSession& ProgramSession::operator=(ProgramSession&&) noexcept = default;

Status ProgramSession::Open(const std::string& path, const OpenOptions& options, const Progress& progress)
{
    progress.Begin(WorkStage::Reading);
    // Unless the program is kept, its classes are read a batch at a time below.
    Result<Program> loaded = LoadProgram(path, *fs_, LoadOptions{options.keepProgram, options.readAs});
    if (!loaded)
        return std::move(loaded).error();
    if (progress.Cancelled())
        return SessionError(ErrorKind::Cancelled);
    progress.Begin(WorkStage::Analysing);

    Program& program = *loaded;
    Opening opening;
    ProgramFacts& facts = opening.facts;
    facts.path = program.path;
    facts.name = program.name;
    facts.kind = program.kind;
    facts.classCount = program.classes.size();
    facts.unreadable = program.unreadable;
    facts.nestedJars = program.nestedJars;
    facts.translatedFrom = TranslatedFrom(program.origin);
    facts.classNames.reserve(program.classes.size());
    ReadManifestStart(program, facts);

    std::unique_ptr<Program> keptProgram;
    std::unique_ptr<Extraction> keptExtraction;
    const ExtractOptions extract{options.annotations, options.usage};
    if (options.keepProgram) {
        keptExtraction = std::make_unique<Extraction>(Extract(program, extract));
        AddBatch(program, *keptExtraction, 0, options, opening);
        AddBundles(program, options.language, opening);
        DecideUses(options, opening);
        keptProgram = std::make_unique<Program>(std::move(program));
    } else {
        // A parsed class takes a few times its size, so the classes are analysed a batch at a
        // time and each batch's bytes and parse are dropped before the next: what one text
        // offers does not depend on any other class.
        constexpr std::size_t kBatch = 128;
        std::vector<ProgramFile>& classes = program.classes;
        for (std::size_t first = 0; first < classes.size(); first += kBatch) {
            if (progress.Cancelled())
                return SessionError(ErrorKind::Cancelled);
            const std::size_t last = std::min(classes.size(), first + kBatch);
            if (Status read = ReadClassBytes(program, first, last); !read)
                return std::move(read).error();
            Program batch;
            batch.kind = program.kind;
            batch.path = program.path;
            batch.name = program.name;
            batch.classes.assign(std::make_move_iterator(classes.begin() + static_cast<std::ptrdiff_t>(first)),
                                 std::make_move_iterator(classes.begin() + static_cast<std::ptrdiff_t>(last)));
            Extraction extraction = Extract(batch, extract);
            AddBatch(batch, extraction, first, options, opening);
        }
        program.classes.clear();
        AddBundles(program, options.language, opening);
        DecideUses(options, opening);
    }
    if (progress.Cancelled())
        return SessionError(ErrorKind::Cancelled);

    open_ = true;
    options_ = options;
    facts_ = std::move(opening.facts);
    entries_ = std::move(opening.entries);
    byKey_ = std::move(opening.byKey);
    obsolete_.clear();
    cataloguePath_.clear();
    language_ = options.language.empty() ? std::string(kDefaultLanguage) : options.language;
    unsaved_.clear();
    program_ = std::move(keptProgram);
    extraction_ = std::move(keptExtraction);
    return {};
}

std::optional<std::size_t> ProgramSession::Find(const std::string& context, const std::string& msgid) const
{
    const auto found = byKey_.find(context.empty() ? msgid : EntryKey(context, msgid));
    if (found == byKey_.end())
        return std::nullopt;
    return found->second;
}

void ProgramSession::Recheck(SessionEntry& entry)
{
    entry.problem = CheckTranslation(entry.Checks(), entry.msgid, entry.translation);
}

void ProgramSession::NoteChange(std::size_t index, const EntryValue& before)
{
    const SessionEntry& entry = entries_[index];
    const auto [it, first] = unsaved_.emplace(index, before);
    const EntryValue& saved = it->second;
    if (!first && saved.translation == entry.translation && saved.fuzzy == entry.fuzzy)
        unsaved_.erase(it);
}

TranslationProblem ProgramSession::SetTranslation(std::size_t index, std::string translation)
{
    SessionEntry& entry = entries_.at(index);
    if (entry.translation != translation) {
        const EntryValue before{entry.translation, entry.fuzzy};
        entry.translation = std::move(translation);
        Recheck(entry);
        NoteChange(index, before);
    }
    return entry.problem;
}

void ProgramSession::SetFuzzy(std::size_t index, bool fuzzy)
{
    SessionEntry& entry = entries_.at(index);
    if (entry.fuzzy != fuzzy) {
        const EntryValue before{entry.translation, entry.fuzzy};
        entry.fuzzy = fuzzy;
        NoteChange(index, before);
    }
}

EntryValue ProgramSession::ValueOf(std::size_t index) const
{
    const SessionEntry& entry = entries_.at(index);
    return {entry.translation, entry.fuzzy};
}

void ProgramSession::Restore(std::size_t index, EntryValue value)
{
    SetTranslation(index, std::move(value.translation));
    SetFuzzy(index, value.fuzzy);
}

std::vector<std::size_t> ProgramSession::Blockers(bool annotations) const
{
    std::vector<std::size_t> found;
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        const SessionEntry& entry = entries_[i];
        // A withheld value of bundles only is never written, whatever its translation (the
        // program's own, filled in, may break a rule its source keeps): it blocks nothing.
        const bool written = entry.offered || entry.inClass;
        if (entry.problem != TranslationProblem::None && entry.State() == EntryState::Translated &&
            entry.Included(annotations) && written)
            found.push_back(i);
    }
    return found;
}

std::vector<PoMessage> ProgramSession::MessagesToApply(bool annotations) const
{
    std::vector<PoMessage> messages;
    for (const SessionEntry& entry : entries_) {
        if (entry.State() != EntryState::Translated || !entry.Included(annotations) ||
            entry.problem != TranslationProblem::None)
            continue;
        PoMessage message;
        message.hasContext = !entry.context.empty();
        message.context = entry.context;
        message.msgid = entry.msgid;
        message.msgstr = entry.translation;
        messages.push_back(std::move(message));
    }
    return messages;
}

ImportSummary ProgramSession::ImportMessages(const PoCatalogue& catalogue, ImportMode mode, const std::string& from)
{
    ImportSummary summary;
    const bool keep = mode == ImportMode::Continue;
    if (keep) {
        obsolete_.clear();
        if (!catalogue.language.empty())
            language_ = catalogue.language;
    }
    auto keepObsolete = [&](const PoMessage& message) {
        if (!keep)
            return;
        PoEntry kept = message;
        kept.obsolete = true;
        obsolete_.push_back(std::move(kept));
    };
    for (const PoMessage& message : catalogue.messages) {
        if (message.obsolete) {
            ++summary.obsolete;
            keepObsolete(message);
            continue;
        }
        if (message.plural) {
            ++summary.plural;
            keepObsolete(message);
            continue;
        }
        if (message.msgstr.empty()) {
            ++summary.untranslated;
            continue;
        }
        if (message.fuzzy)
            ++summary.fuzzy;
        const auto found = byKey_.find(KeyOf(message));
        if (found == byKey_.end()) {
            if (!message.fuzzy)
                ++summary.notFound;
            // A translation the program no longer asks for may be asked for again: kept, as
            // msgmerge keeps it.
            keepObsolete(message);
            continue;
        }
        ++(message.fuzzy ? summary.fuzzyFilled : summary.filled);
        SessionEntry& entry = entries_[found->second];
        const EntryValue before{entry.translation, entry.fuzzy};
        entry.translation = message.msgstr;
        entry.fuzzy = message.fuzzy;
        entry.hasPreviousMsgid = message.hasPreviousMsgid;
        entry.previousMsgid = message.previousMsgid;
        entry.translatorComments = message.translatorComments;
        Recheck(entry);
        if (before.translation != entry.translation || before.fuzzy != entry.fuzzy) {
            summary.changed.emplace_back(found->second, before);
            if (!keep)
                NoteChange(found->second, before);
        }
    }
    if (keep) {
        // The catalogue continued is what was saved.
        cataloguePath_ = from;
        unsaved_.clear();
    }
    return summary;
}

Result<ImportSummary> ProgramSession::ImportCatalogue(const std::string& path, ImportMode mode)
{
    Result<PoCatalogue> catalogue = ReadPoFile(path, *fs_);
    if (!catalogue)
        return std::move(catalogue).error();
    return ImportMessages(*catalogue, mode, path);
}

std::vector<std::string> ProgramSession::KeptIn(const SessionEntry& entry) const
{
    std::vector<std::string> names;
    for (const SessionPlace& place : entry.places) {
        // A bundle value kept as it is has no class (its classIndex means nothing): the note's
        // line of uses names it by its reason.
        if (!(place.kept || !place.shownIn.empty()) || place.kind == PlaceKind::Bundle ||
            place.classIndex >= facts_.classNames.size())
            continue;
        const std::string& name = facts_.classNames[place.classIndex];
        if (std::find(names.begin(), names.end(), name) == names.end())
            names.push_back(name);
    }
    return names;
}

std::string ProgramSession::CatalogueText(const CatalogueHeader& header, bool annotations,
                                          const CatalogueWording& wording, bool all) const
{
    std::vector<PoEntry> out;
    out.reserve(entries_.size() + obsolete_.size());
    for (const SessionEntry& entry : entries_) {
        if (!(entry.Included(annotations) && (entry.offered || all)) && entry.translation.empty())
            continue;
        PoEntry po;
        po.hasContext = !entry.context.empty();
        po.context = entry.context;
        po.msgid = entry.msgid;
        po.msgstr = entry.translation;
        po.fuzzy = entry.fuzzy && !entry.translation.empty();
        po.translatorComments = entry.translatorComments;
        if (options_.usage) {
            po.extractedComments =
                wording.UseNote(entry.use, entry.consumer, entry.uses, entry.offered, entry.forbidding, KeptIn(entry));
        }
        if (entry.slotCount > 0) {
            const std::vector<std::string> recipe = wording.RecipeNote(entry.slotCount);
            po.extractedComments.insert(po.extractedComments.end(), recipe.begin(), recipe.end());
        }
        po.references = entry.references;
        if (entry.javaFormat)
            po.flags.push_back("java-format");
        // A printf pattern gettext's tools check too (msgfmt --check, Poedit): one whose
        // conversions Formatter would refuse is left to our own check alone, which names it.
        else if (entry.printf && formats::ParsePrintf(entry.msgid).HasArguments())
            po.flags.push_back("java-printf-format");
        po.hasPreviousMsgid = entry.hasPreviousMsgid && po.fuzzy;
        po.previousMsgid = entry.previousMsgid;
        out.push_back(std::move(po));
    }
    out.insert(out.end(), obsolete_.begin(), obsolete_.end());
    const PoHeader po{header.project.empty() ? facts_.name : header.project, language_, header.generator};
    return WritePo(po, out);
}

Status ProgramSession::SaveCatalogue(const std::string& path, const CatalogueHeader& header, bool annotations,
                                     const CatalogueWording& wording, bool all)
{
    const std::string target = path.empty() ? cataloguePath_ : path;
    if (target.empty())
        return SessionError(ErrorKind::CannotWrite);
    // Never over the program itself, whatever name leads to it.
    if (IsSameFile(target, facts_.path, *fs_)) {
        Error error = SessionError(ErrorKind::OutputIsInput, target);
        error.task = ErrorTask::Catalogue;
        return error;
    }
    if (Status written =
            WriteFileSafely(target, std::string_view(CatalogueText(header, annotations, wording, all)), *fs_);
        !written) {
        Error error = std::move(written).error();
        error.task = ErrorTask::Catalogue;
        return error;
    }
    cataloguePath_ = target;
    unsaved_.clear();
    return {};
}

Result<StringListing> ProgramSession::ListStrings(const std::string& path, bool all, const Progress& progress) const
{
    progress.Begin(WorkStage::Reading);
    Result<Program> program = LoadProgram(path, *fs_);
    if (!program)
        return std::move(program).error();
    progress.Begin(WorkStage::Analysing);
    Extraction extraction = Extract(*program, ExtractOptions{false, true});
    const usage::ProgramUsage uses = usage::ProgramUsage::Solve(std::move(extraction.usageFacts));
    StringListing listing;
    for (ListedString& row : catalogue::ListStrings(*program, extraction, all)) {
        std::optional<usage::Use> use;
        if (row.stringIndex != 0) {
            const usage::PlaceRef place{row.classIndex, row.stringIndex};
            use = uses.Decide(row.text, std::span<const usage::PlaceRef>(&place, 1)).use;
        }
        listing.classStrings.push_back({std::move(row), use});
    }
    listing.bundleStrings = ListBundleStrings(*program, extraction, all, listing.unreadableBundles);
    listing.unreadable = std::move(program->unreadable);
    listing.unparsable = std::move(extraction.unparsable);
    return listing;
}

// The language variants of the bundles whose values are translated, as changes of the program.
void ProgramSession::AddVariants(const Program& program, const Extraction& extraction, BundleTarget target,
                                 OutputChanges& changes, GenerateReport& report) const
{
    if (program.properties.empty())
        return;
    const std::unordered_set<std::string> names(extraction.names.begin(), extraction.names.end());
    const std::vector<PropertiesFileBytes> files = PropertiesFilesOf(program);
    const BundleAnalysis analysis =
        AnalyseBundles(files, [&](std::string_view name) { return names.count(std::string(name)) != 0; },
                       [&](std::string_view text) { return extraction.byKey.count(std::string(text)) != 0; }, language_);
    auto translationOf = [&](const BundleText& text) -> std::optional<std::string> {
        auto found = byKey_.find(EntryKey(BundleContext(text), text.value));
        if (found == byKey_.end())
            found = byKey_.find(text.value);
        if (found == byKey_.end())
            return std::nullopt;
        const SessionEntry& entry = entries_[found->second];
        if (!entry.offered || entry.State() != EntryState::Translated || entry.problem != TranslationProblem::None)
            return std::nullopt;
        // A value the program reads keeps its text, whatever the entry's other places show.
        for (const SessionPlace& place : entry.places) {
            if (place.kind == PlaceKind::Bundle && place.kept && place.file == text.file && place.key == text.key)
                return std::nullopt;
        }
        // The program's own translation is no change: its variant keeps it as it is. The
        // source has it only once it is written there.
        if (target == BundleTarget::Variant && text.existing && *text.existing == entry.translation)
            return std::nullopt;
        return entry.translation;
    };
    for (VariantFile& variant : WriteVariants(analysis, files, language_, translationOf, target)) {
        const std::string& path = variant.written.path;
        report.bundleTextsWritten += variant.written.translated;
        report.variantsWritten.push_back(path);
        if (variant.written.replaces)
            changes.replaced[path] = std::move(variant.bytes);
        else
            changes.added.push_back({path, std::move(variant.bytes), variant.source});
        report.bundleFiles.push_back(std::move(variant.written));
    }
}

Result<PreparedGenerate> ProgramSession::PrepareGenerate(const GenerateRequest& request, const Progress& progress)
{
    if (!open_)
        return SessionError(ErrorKind::NotAProgram);
    OutputRequest output;
    output.output = request.output;
    output.inPlace = request.inPlace;
    output.otherInputs = {cataloguePath_};

    std::unique_ptr<Program> fresh;
    std::unique_ptr<Extraction> freshExtraction;
    Program* program = program_.get();
    Extraction* extraction = extraction_.get();
    if (program == nullptr || options_.annotations != request.annotations) {
        progress.Begin(WorkStage::Reading);
        Result<Program> loaded = LoadProgram(facts_.path, *fs_, LoadOptions{true, options_.readAs});
        if (!loaded)
            return std::move(loaded).error();
        fresh = std::make_unique<Program>(std::move(*loaded));
        program = fresh.get();
    }
    // The destination is checked before the long part.
    if (Status checked = CheckOutput(*program, output, *fs_); !checked)
        return std::move(checked).error();
    if (progress.Cancelled())
        return SessionError(ErrorKind::Cancelled);
    if (extraction == nullptr || fresh) {
        progress.Begin(WorkStage::Analysing);
        freshExtraction = std::make_unique<Extraction>(Extract(*program, ExtractOptions{request.annotations}));
        extraction = freshExtraction.get();
        if (progress.Cancelled())
            return SessionError(ErrorKind::Cancelled);
    }

    progress.Begin(WorkStage::Checking);
    PreparedGenerate prepared;
    // A translation with a problem keeps the whole program from being written: every one is
    // named, so that all can be mended before the next try.
    for (const std::size_t index : Blockers(request.annotations)) {
        const SessionEntry& entry = entries_[index];
        ApplyProblem problem;
        problem.kind = entry.problem;
        problem.msgid = entry.msgid;
        if (!entry.references.empty()) {
            problem.classEntry = entry.references.front().file;
            problem.index = static_cast<uint16_t>(entry.references.front().line);
            problem.key = entry.references.front().key;
        }
        prepared.problems_.push_back(std::move(problem));
    }
    if (!prepared.problems_.empty())
        return prepared;
    // The classes take the translations of texts they hold; the bundles, those of their values.
    std::vector<PoMessage> messages = MessagesToApply(request.annotations);
    messages.erase(std::remove_if(messages.begin(), messages.end(),
                                  [&](const PoMessage& message) {
                                      const SessionEntry& entry = entries_[byKey_.at(KeyOf(message))];
                                      // A withheld text that bundles also hold may carry the
                                      // program's own translation of the value (Freeplane's
                                      // "Center" action, 居中), which is no translation of the
                                      // code's constant (BorderLayout's "Center").
                                      const bool inBundles = std::any_of(
                                          entry.places.begin(), entry.places.end(),
                                          [](const SessionPlace& p) { return p.kind == PlaceKind::Bundle; });
                                      return !entry.inClass || entry.classPlacesWithheld ||
                                             (!entry.offered && inBundles);
                                  }),
                   messages.end());
    KeptPlaces kept;
    for (const SessionEntry& entry : entries_) {
        for (const SessionPlace& place : entry.places) {
            if (place.kept)
                kept.whole.insert({place.classIndex, place.index});
            else if (!place.shownIn.empty())
                kept.shownIn[{place.classIndex, place.index}] = place.shownIn;
        }
    }
    ApplyPlan plan = PlanApply(*program, *extraction, messages, kept);
    prepared.report_.summary = plan.summary;
    prepared.report_.unparsable = extraction->unparsable;
    prepared.report_.unreadable = program->unreadable;
    prepared.report_.nestedJars = program->nestedJars;
    prepared.report_.notOfferable = extraction->notOfferable;
    if (!plan.problems.empty()) {
        prepared.problems_ = std::move(plan.problems);
        return prepared;
    }
    if (progress.Cancelled())
        return SessionError(ErrorKind::Cancelled);

    progress.Begin(WorkStage::Writing);
    OutputChanges changes;
    changes.replaced = std::move(plan.changed);
    AddVariants(*program, *extraction, request.bundles, changes, prepared.report_);
    Result<StagedOutput> staged = StageOutput(*program, changes, output, progress, *fs_);
    if (!staged)
        return std::move(staged).error();
    prepared.staged_.emplace(std::move(*staged));
    if (program == program_.get()) {
        // The kept program went into this output (its archive is written): one output per open.
        program_.reset();
        extraction_.reset();
    }
    return prepared;
}

}  // namespace cl::catalogue

#pragma once
// What the translation window works with: a program opened once into a compact list of its
// texts (with the class and method behind each place), the live check of one translation,
// and generating the translated program in two steps, so that the caller can still throw the
// result away after the long part is done. Long steps look at a cancel flag between stages
// and between classes; nothing here touches a window.

#include "catalogue/Po.h"
#include "catalogue/Program.h"
#include "catalogue/Translation.h"

#include <atomic>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace cl::catalogue {

enum class WorkStage { Reading, Analysing, Checking, Writing };

// Told of each stage as it begins; called on the working thread.
using StageReport = std::function<void(WorkStage)>;

// One place of a text: the class (an index into WorkProgram::classNames) and the methods
// whose code loads it; no method for annotation values and constant fields.
struct WorkPlace {
    std::size_t classIndex = 0;
    PlaceKind kind = PlaceKind::Literal;
    std::vector<std::string> methods;
};

struct WorkEntry {
    PoEntry po;          // msgid, references and the slot note, msgstr empty
    std::vector<WorkPlace> places;
    std::size_t slotCount = 0;  // the most slots of any recipe place; 0 when no place is a recipe
    bool recipe = false;
    bool inCode = false;  // some place is a literal or recipe, not only an annotation value
};

struct WorkProgram {
    std::string path;
    std::string name;
    ProgramKind kind = ProgramKind::Jar;
    std::vector<std::string> classNames;  // binary names with dots, parallel to the program's classes
    std::vector<WorkEntry> entries;
    std::size_t notOfferable = 0;
    std::vector<std::string> unparsable;
    std::vector<UnreadablePart> unreadable;
    std::vector<std::string> nestedJars;
};

struct OpenOutcome {
    bool cancelled = false;
    std::optional<ProgramError> error;
    WorkProgram program;
};

// Loads and analyses the program with annotation values included (the window can hide them)
// and keeps only what the table shows; the class bytes are not kept.
OpenOutcome OpenWorkProgram(const std::string& path, const std::atomic<bool>& cancel, const StageReport& stage,
                            FileSystem& fs = NativeFileSystem());

// Why a translation cannot go into the program; checked as the translator types.
enum class TranslationProblem {
    None,
    MissingSlot,
    ExtraSlot,
    SlotOutOfOrder,
    StrayBrace,
    ControlChar,
    TooLong,  // more than 65535 bytes once stored in the class
};

TranslationProblem CheckTranslation(const WorkEntry& entry, const std::string& translation);

struct GenerateRequest {
    std::string input;
    std::string output;    // where the translated program goes; ignored in place
    bool inPlace = false;  // replace the input, keeping it as INPUT.bak
    bool annotations = false;
    std::vector<PoMessage> messages;
};

struct GenerateOutcome {
    bool cancelled = false;
    std::optional<ProgramError> error;
    std::vector<ApplyProblem> problems;  // nothing was written when there are any
    ApplySummary summary;
    std::vector<std::string> droppedSignatures;
    std::vector<std::string> nestedJars;
    std::vector<UnreadablePart> unreadable;
    std::vector<std::string> unparsable;
    std::string staged;  // the complete new program, beside its destination, until committed
};

// Builds the translated program under a scratch name beside its destination. Cancelled or
// failed, nothing is left behind; otherwise `staged` names the result for CommitGenerated or
// DiscardGenerated.
GenerateOutcome PrepareGenerated(const GenerateRequest& request, const std::atomic<bool>& cancel,
                                 const StageReport& stage, FileSystem& fs = NativeFileSystem());

// Puts the staged program in its place (in place: after the input became INPUT.bak). On
// failure the destination is left as it was and the staged copy is removed.
std::optional<ProgramError> CommitGenerated(const GenerateRequest& request, const GenerateOutcome& outcome,
                                            FileSystem& fs = NativeFileSystem());
void DiscardGenerated(const GenerateOutcome& outcome);

}  // namespace cl::catalogue

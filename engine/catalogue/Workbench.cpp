#include "catalogue/Workbench.h"

#include "files/FileOps.h"
#include "files/FileSystem.h"
#include "catalogue/Recipe.h"
#include "classfile/ModifiedUtf8.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
#include <unordered_map>

namespace cl::catalogue {

namespace {

namespace stdfs = std::filesystem;
using classfile::ClassFile;
using classfile::Tag;

void Report(const StageReport& stage, WorkStage what)
{
    if (stage)
        stage(what);
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

ProgramError Failure(ProgramError::Kind kind, const std::string& path, std::error_code code = {})
{
    ProgramError error;
    error.kind = kind;
    error.path = path;
    error.code = code;
    return error;
}

bool SameFile(const FileInfo& a, const FileInfo& b)
{
    return a.exists && b.exists && (a.inode != 0 || a.device != 0) && a.device == b.device && a.inode == b.inode;
}

std::string Trimmed(std::string path)
{
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

// A name beside `destination` that nothing uses yet.
std::optional<std::string> ScratchBeside(const std::string& destination, FileSystem& fs)
{
    const std::string folder = FolderOf(destination);
    const auto seed = static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count());
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        const std::string candidate =
            (stdfs::path(folder) / ("." + NameOf(destination) + ".classlingo-" + std::to_string(seed % 1000000007ULL) +
                                    "-" + std::to_string(attempt)))
                .string();
        FileInfo info;
        if (!fs.Stat(candidate, info) && !info.exists)
            return candidate;
    }
    return std::nullopt;
}

void RemoveQuietly(const std::string& path)
{
    if (path.empty())
        return;
    std::error_code ignored;
    stdfs::remove_all(path, ignored);
}

}  // namespace

OpenOutcome OpenWorkProgram(const std::string& path, const std::atomic<bool>& cancel, const StageReport& stage,
                            FileSystem& fs)
{
    OpenOutcome outcome;
    auto cancelled = [&] {
        if (!cancel.load())
            return false;
        outcome.cancelled = true;
        outcome.program = WorkProgram();
        return true;
    };
    Report(stage, WorkStage::Reading);
    Program program;
    if (auto error = LoadProgram(path, program, fs)) {
        outcome.error = std::move(error);
        return outcome;
    }
    if (cancelled())
        return outcome;
    Report(stage, WorkStage::Analysing);

    WorkProgram& work = outcome.program;
    work.path = program.path;
    work.name = program.name;
    work.kind = program.kind;
    work.unreadable = program.unreadable;
    work.nestedJars = program.nestedJars;
    work.classNames.reserve(program.classes.size());

    // A parsed class takes a few times its size, so the classes are analysed a batch at a time
    // and each batch's bytes and parse are dropped before the next: what one text offers does
    // not depend on any other class.
    constexpr std::size_t kBatch = 128;
    std::vector<ProgramClass> classes = std::move(program.classes);
    program.classes.clear();
    std::unordered_map<std::string, std::size_t> rowOf;
    for (std::size_t first = 0; first < classes.size(); first += kBatch) {
        if (cancelled())
            return outcome;
        const std::size_t last = std::min(classes.size(), first + kBatch);
        Program batch;
        batch.kind = program.kind;
        batch.path = program.path;
        batch.name = program.name;
        batch.classes.assign(std::make_move_iterator(classes.begin() + static_cast<std::ptrdiff_t>(first)),
                             std::make_move_iterator(classes.begin() + static_cast<std::ptrdiff_t>(last)));
        const Extraction extraction = Extract(batch, ExtractOptions{true});
        std::vector<PoEntry> po = CatalogueEntries(batch, extraction);
        work.notOfferable += extraction.notOfferable;
        work.unparsable.insert(work.unparsable.end(), extraction.unparsable.begin(), extraction.unparsable.end());
        for (std::size_t ci = 0; ci < batch.classes.size(); ++ci)
            work.classNames.push_back(BinaryName(extraction.classFiles[ci], batch.classes[ci].entry));

        // Which methods use which string, worked out only for classes that offer texts.
        std::vector<std::unordered_map<uint16_t, std::vector<uint16_t>>> users(batch.classes.size());
        std::vector<bool> known(batch.classes.size(), false);
        for (std::size_t i = 0; i < extraction.entries.size(); ++i) {
            const CatalogueEntry& entry = extraction.entries[i];
            auto [it, fresh] = rowOf.emplace(entry.msgid, work.entries.size());
            if (fresh) {
                work.entries.emplace_back();
                work.entries.back().po = std::move(po[i]);
            } else {
                PoEntry& kept = work.entries[it->second].po;
                kept.references.insert(kept.references.end(), po[i].references.begin(), po[i].references.end());
                if (kept.extractedComments.empty())
                    kept.extractedComments = std::move(po[i].extractedComments);
            }
            WorkEntry& row = work.entries[it->second];
            for (const Place& place : entry.places) {
                WorkPlace shown;
                shown.classIndex = first + place.classIndex;
                shown.kind = place.kind;
                if (place.kind != PlaceKind::Annotation) {
                    const ClassFile& cf = extraction.classFiles[place.classIndex];
                    if (!known[place.classIndex]) {
                        users[place.classIndex] = MethodsByString(cf);
                        known[place.classIndex] = true;
                    }
                    const auto found = users[place.classIndex].find(place.index);
                    if (found != users[place.classIndex].end())
                        for (const uint16_t method : found->second)
                            if (method < cf.methods.size())
                                shown.methods.push_back(Readable(cf.Utf8Bytes(cf.methods[method].nameIndex)));
                    row.inCode = true;
                }
                if (place.kind == PlaceKind::Recipe) {
                    row.recipe = true;
                    row.slotCount = std::max(row.slotCount, place.slotCount);
                }
                row.places.push_back(std::move(shown));
            }
        }
    }
    return outcome;
}

TranslationProblem CheckTranslation(const WorkEntry& entry, const std::string& translation)
{
    if (translation.empty())
        return TranslationProblem::None;
    std::string text = translation;
    if (entry.recipe) {
        RecipeResult recipe = MessageToRecipe(translation, entry.slotCount);
        switch (recipe.problem) {
            case RecipeProblem::None: break;
            case RecipeProblem::MissingSlot: return TranslationProblem::MissingSlot;
            case RecipeProblem::ExtraSlot: return TranslationProblem::ExtraSlot;
            case RecipeProblem::SlotOutOfOrder: return TranslationProblem::SlotOutOfOrder;
            case RecipeProblem::StrayBrace: return TranslationProblem::StrayBrace;
            case RecipeProblem::ControlChar: return TranslationProblem::ControlChar;
        }
        text = std::move(recipe.recipe);
    }
    std::string modified;
    if (!classfile::ModifiedUtf8FromUtf8(text, modified).Ok())
        return TranslationProblem::ControlChar;
    return modified.size() > 65535 ? TranslationProblem::TooLong : TranslationProblem::None;
}

GenerateOutcome PrepareGenerated(const GenerateRequest& request, const std::atomic<bool>& cancel,
                                 const StageReport& stage, FileSystem& fs)
{
    GenerateOutcome outcome;
    auto cancelled = [&] {
        outcome.cancelled = cancel.load();
        return outcome.cancelled;
    };
    Report(stage, WorkStage::Reading);
    Program program;
    if (auto error = LoadProgram(request.input, program, fs)) {
        outcome.error = std::move(error);
        return outcome;
    }
    outcome.nestedJars = program.nestedJars;
    outcome.unreadable = program.unreadable;

    // The destination is checked before the long part, as the command line's apply would.
    const std::string destination = request.inPlace ? Trimmed(program.path) : request.output;
    if (!request.inPlace) {
        FileInfo in;
        FileInfo out;
        if (auto ec = fs.Stat(program.path, in)) {
            outcome.error = Failure(ProgramError::Kind::CannotRead, program.path, ec);
            return outcome;
        }
        if (auto ec = fs.Stat(request.output, out)) {
            outcome.error = Failure(ProgramError::Kind::CannotWrite, request.output, ec);
            return outcome;
        }
        const bool wantFolder = program.kind == ProgramKind::Folder;
        if (SameFile(in, out)) {
            outcome.error = Failure(ProgramError::Kind::OutputIsInput, request.output);
            return outcome;
        }
        if (out.exists && out.isDirectory != wantFolder) {
            outcome.error = Failure(ProgramError::Kind::OutputWrongKind, request.output);
            return outcome;
        }
        if (out.exists && wantFolder) {
            std::error_code ec;
            if (!stdfs::is_empty(request.output, ec) || ec) {
                outcome.error = Failure(ProgramError::Kind::OutputNotEmpty, request.output);
                return outcome;
            }
        }
    }
    if (cancelled())
        return outcome;

    Report(stage, WorkStage::Analysing);
    const Extraction extraction = Extract(program, ExtractOptions{request.annotations});
    outcome.unparsable = extraction.unparsable;
    if (cancelled())
        return outcome;

    Report(stage, WorkStage::Checking);
    ApplyPlan plan = PlanApply(program, extraction, request.messages);
    outcome.summary = plan.summary;
    if (!plan.problems.empty()) {
        outcome.problems = std::move(plan.problems);
        return outcome;
    }
    if (cancelled())
        return outcome;

    Report(stage, WorkStage::Writing);
    std::string target = destination;
    if (program.kind != ProgramKind::Folder) {
        std::string resolved;
        if (!fs.ResolveLink(destination, resolved))
            target = resolved;
    }
    const std::optional<std::string> scratch = ScratchBeside(target, fs);
    if (!scratch) {
        outcome.error = Failure(ProgramError::Kind::CannotWrite, destination);
        return outcome;
    }
    if (auto error = WriteProgram(program, plan.changed, *scratch, false, outcome.droppedSignatures, fs)) {
        RemoveQuietly(*scratch);
        outcome.error = std::move(error);
        return outcome;
    }
    outcome.staged = *scratch;
    if (cancelled()) {
        DiscardGenerated(outcome);
        outcome.staged.clear();
    }
    return outcome;
}

void DiscardGenerated(const GenerateOutcome& outcome)
{
    RemoveQuietly(outcome.staged);
}

std::optional<ProgramError> CommitGenerated(const GenerateRequest& request, const GenerateOutcome& outcome,
                                            FileSystem& fs)
{
    const std::string destination = request.inPlace ? Trimmed(request.input) : request.output;
    FileInfo staged;
    if (outcome.staged.empty() || fs.Stat(outcome.staged, staged) || !staged.exists)
        return Failure(ProgramError::Kind::CannotWrite, destination);
    auto fail = [&](ProgramError::Kind kind, const std::string& path, std::error_code ec) {
        DiscardGenerated(outcome);
        return Failure(kind, path, ec);
    };

    if (!staged.isDirectory) {
        std::string target = destination;
        std::string resolved;
        if (!fs.ResolveLink(destination, resolved))
            target = resolved;
        if (request.inPlace) {
            if (auto error = MakeBackup(destination, fs)) {
                DiscardGenerated(outcome);
                ProgramError failure = Failure(ProgramError::Kind::CannotWrite, error->path);
                failure.file = *error;
                return failure;
            }
        }
        if (auto ec = fs.Rename(outcome.staged, target))
            return fail(ProgramError::Kind::CannotWrite, destination, ec);
        fs.FlushFolder(FolderOf(target));
        return std::nullopt;
    }

    if (!request.inPlace) {
        FileInfo out;
        if (!fs.Stat(destination, out) && out.exists && out.isDirectory) {
            std::error_code ec;
            stdfs::remove(destination, ec);  // only an empty folder goes
            if (ec)
                return fail(ProgramError::Kind::OutputNotEmpty, destination, ec);
        }
        if (auto ec = fs.Rename(outcome.staged, destination))
            return fail(ProgramError::Kind::CannotMakeFolder, destination, ec);
        return std::nullopt;
    }

    // In place: the input becomes INPUT.bak and the new tree takes its name; an older backup
    // goes only once both renames have happened.
    const std::string backup = destination + ".bak";
    std::string oldBackup;
    FileInfo backupInfo;
    if (!fs.Stat(backup, backupInfo) && backupInfo.exists) {
        oldBackup = outcome.staged + ".old";
        if (auto ec = fs.Rename(backup, oldBackup))
            return fail(ProgramError::Kind::CannotMakeFolder, backup, ec);
    }
    if (auto ec = fs.Rename(destination, backup)) {
        if (!oldBackup.empty())
            fs.Rename(oldBackup, backup);
        return fail(ProgramError::Kind::CannotMakeFolder, destination, ec);
    }
    if (auto ec = fs.Rename(outcome.staged, destination)) {
        fs.Rename(backup, destination);
        if (!oldBackup.empty())
            fs.Rename(oldBackup, backup);
        return fail(ProgramError::Kind::CannotMakeFolder, destination, ec);
    }
    RemoveQuietly(oldBackup);
    return std::nullopt;
}

}  // namespace cl::catalogue

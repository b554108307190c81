#pragma once
// What the command line and the translation window say about whole-program work: its stages,
// the problems that keep translations out of a program, the parts copied unchanged, and the
// summaries of extracting, importing and generating.

#include "catalogue/ProgramSession.h"

#include <string>
#include <vector>

namespace cltext {

// "正在读取程序", "正在分析类文件", "正在检查译文", "正在写入" (the caller adds "…").
std::string StageText(cl::catalogue::WorkStage stage);
const char* CatalogueReadingText();  // reading the catalogue given to apply
const char* CatalogueWritingText();  // writing the catalogue extracted

// Why a translation cannot go into the program, as the translator types it and before writing.
std::string TranslationProblemText(cl::TranslationProblem problem);
// One problem found before writing: what, for which text, where.
std::string ApplyProblemText(const cl::catalogue::ApplyProblem& problem);
const char* NothingWrittenText();  // "没有写入任何文件。"
// A whole-program command ran out of memory; files are only ever put in place whole, so none
// is left half written.
const char* ProgramOutOfMemoryText();  // "内存不足，命令没有完成；……"

// Parts copied unchanged, and what else a run left as it was.
std::string UnreadablePartText(const cl::catalogue::UnreadablePart& part);
std::string UnparsableClassText(const std::string& entry);
std::string NestedJarText(const std::string& entry);
std::string DroppedSignaturesText(const std::vector<std::string>& names);
std::string PluralSkippedText(std::size_t count);

// What the bundles of a program offered (empty for a program without bundles), and what a
// generate wrote into them (empty when nothing).
std::string BundleSummaryText(const cl::catalogue::ProgramFacts& facts);
// Per family: the file written, new or the program's own, and whether a run in the catalogue's
// language reads it, and why.
std::string BundleWrittenText(const cl::catalogue::GenerateReport& report);
std::string BundleFileText(const cl::catalogue::BundleFileWritten& file);

// The texts withheld because the program reads them, per reason, the reasons with none left
// out: "名称 3 条，数据 2 条，按形状判断为数据 1 条" (empty when none is withheld).
std::string WithheldReasonsText(const cl::catalogue::ProgramFacts& facts);

// The one-line summaries of the command line.
std::string ExtractSummaryText(const cl::catalogue::ProgramFacts& facts, std::size_t entries, std::size_t places);
std::string ApplySummaryText(const cl::catalogue::ImportSummary& imported, const cl::catalogue::GenerateReport& report);

// What became of the original program when it was replaced in place ("" for a new output).
std::string BackupText(const cl::catalogue::OutputReport& output);
// What a run in place over an earlier run's output did besides writing: where it translated from,
// the files given back their originals and those removed; empty for any other run.
std::string InPlaceText(const cl::catalogue::OutputReport& output);
// Nothing written in place: the translation changes nothing.
const char* NothingChangedText();
// The report after the window generated a program.
std::string GeneratedText(const std::string& output, const cl::catalogue::GenerateReport& report);

// The window's summary of an imported catalogue.
std::string ImportSummaryText(const std::string& path, const cl::catalogue::ImportSummary& summary);

}  // namespace cltext

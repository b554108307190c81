#pragma once
// What the translation window says about keeping the translator's work through what it cannot
// prevent: the recovery file (autosaved, and written when classlingo is ended by a signal) and
// its restore at the next open, and a job that ran out of memory.

#include <string>

namespace cltext {

// The question at the open of a program whose recovery file is newer than its catalogue (or
// that has none: `catalogue` false). `savedAt` is when the recovery file was written, as the
// window shows a time.
std::string RestoreQuestion(const std::string& program, const std::string& savedAt, bool catalogue);
const char* RestoreCaption();
// The status line after a restore.
std::string RestoredText(int changed);
// The status line when the autosave could not write the recovery file `path` (`reason`: why,
// may be empty).
std::string AutosaveFailedText(const std::string& path, const std::string& reason);
// The line classlingo writes on its standard error when it is ended with unsaved translations.
std::string SavedOnQuitText(const std::string& program, const std::string& recovery);
// ... and when even that could not be written (`reason` may be empty).
std::string NotSavedOnQuitText(const std::string& program, const std::string& reason);

// The reason given when there was not memory enough for the recovery file itself.
const char* OutOfMemoryReason();

// A job of the window that ran out of memory; the translations stay as they were.
enum class WindowJob { Open, Generate, Run, Import };
std::string JobOutOfMemoryText(WindowJob job);

}  // namespace cltext

#include "CatalogueNotes.h"

#include "UsageText.h"

namespace cltext {

// English, as catalogues are read in translators' tools whatever language they translate into.
std::vector<std::string> CatalogueNotes::RecipeNote(std::size_t slots) const
{
    std::string names;
    for (std::size_t k = 0; k < slots && k < 10; ++k)
        names += (k ? ", {" : "{") + std::to_string(k) + "}";
    if (slots > 10)
        names += ", ...";
    // One whole sentence a line: editors such as Poedit show each "#." line as a line of its
    // own, so a sentence carried over to the next line reads as broken off.
    names += " stand for values the program fills in: keep every one of them, in this order.";
    return {names, "Write a brace of the text itself doubled: {{ or }}."};
}

std::vector<std::string> CatalogueNotes::UseNote(cl::usage::Use use, const std::string& consumer,
                                                 const std::vector<cl::usage::UseFound>& uses, bool offered,
                                                 const std::vector<cl::usage::Finding>& forbidding,
                                                 const std::vector<std::string>& keptIn) const
{
    // An offered text names every use in one line, so that a label also thrown in an exception
    // and logged does not read as a label only; a withheld one names the use that forbids, and
    // below it every place that does.
    std::vector<std::string> lines{offered ? UsesLine(use, consumer, uses) : UseLine(use, consumer)};
    constexpr std::size_t kShown = 5;
    if (offered) {
        if (!keptIn.empty()) {
            lines.push_back(KeptText());
            for (std::size_t i = 0; i < keptIn.size() && i < kShown; ++i)
                lines.push_back(keptIn[i]);
            if (keptIn.size() > kShown)
                lines.push_back("……共 " + std::to_string(keptIn.size()) + " 个类。");
        }
        return lines;
    }
    lines.push_back(WithheldText());
    for (std::size_t i = 0; i < forbidding.size() && i < kShown; ++i)
        lines.push_back(FindingText(forbidding[i]));
    if (forbidding.size() > kShown)
        lines.push_back("……共 " + std::to_string(forbidding.size()) + " 处。");
    return lines;
}

const CatalogueNotes& Notes()
{
    static const CatalogueNotes notes;
    return notes;
}

}  // namespace cltext

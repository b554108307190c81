#pragma once
// The notes every catalogue carries for translators, whichever front end writes it.

#include "catalogue/CatalogueWording.h"

namespace cltext {

class CatalogueNotes final : public cl::catalogue::CatalogueWording {
public:
    std::vector<std::string> RecipeNote(std::size_t slots) const override;
    std::vector<std::string> UseNote(cl::usage::Use use, const std::string& consumer,
                                     const std::vector<cl::usage::UseFound>& uses, bool offered,
                                     const std::vector<cl::usage::Finding>& forbidding,
                                     const std::vector<std::string>& keptIn) const override;
};

// The one wording every front end hands the engine.
const CatalogueNotes& Notes();

}  // namespace cltext

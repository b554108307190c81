#pragma once
// The notes every catalogue carries for translators, whichever front end writes it.

#include "catalogue/CatalogueWording.h"

namespace cltext {

class CatalogueNotes final : public cl::catalogue::CatalogueWording {
public:
    std::vector<std::string> RecipeNote(std::size_t slots) const override;
};

// The one wording every front end hands the engine.
const CatalogueNotes& Notes();

}  // namespace cltext

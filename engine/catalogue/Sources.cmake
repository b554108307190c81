# Whole programs: reading and writing programs, gettext PO catalogues, the texts a
# program offers and the program session that owns a whole-program translation.
list(APPEND CLASSLINGO_ENGINE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/BundleTexts.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ClassRewriter.cpp
  ${CMAKE_CURRENT_LIST_DIR}/InPlaceRecord.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Po.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Program.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ProgramOutput.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ProgramSession.cpp
  ${CMAKE_CURRENT_LIST_DIR}/StartFacts.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Recipe.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Translation.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TranslationCheck.cpp
)

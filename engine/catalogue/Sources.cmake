# Whole programs: JAR archives and gettext PO catalogues.
list(APPEND CLASSLINGO_ENGINE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/ClassRewriter.cpp
  ${CMAKE_CURRENT_LIST_DIR}/JarArchive.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Po.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Program.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Recipe.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Translation.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Workbench.cpp
)

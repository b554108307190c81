# The open document: one file with its image, rows, roles and replacements.
list(APPEND CLASSLINGO_ENGINE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/Document.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Replace.cpp
)

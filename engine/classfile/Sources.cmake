# The class-file model: a bounds-checked reader, the parser and the role of every Utf8 entry.
list(APPEND CLASSLINGO_ENGINE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/ClassFile.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ConcatRecipes.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ModifiedUtf8.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Roles.cpp
)

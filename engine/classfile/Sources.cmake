# The class-file model: a bounds-checked reader, the parser, the role of every Utf8 entry and
# the redirection of string loads (with the relayout of a method's code).
list(APPEND CLASSLINGO_ENGINE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/ClassFile.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ConcatRecipes.cpp
  ${CMAKE_CURRENT_LIST_DIR}/LoadRedirect.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ModifiedUtf8.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Roles.cpp
)

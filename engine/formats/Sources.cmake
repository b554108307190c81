# Java format patterns: MessageFormat (with the number, date and choice styles it delegates
# to) and Formatter's printf conversions, read as the Java library reads them.
list(APPEND CLASSLINGO_ENGINE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/JavaNumbers.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MessageFormat.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Printf.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Subformats.cpp
)

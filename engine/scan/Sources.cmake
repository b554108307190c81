# Scanning: the classifier, the word list, the two scans and the scan of a file in pieces.
list(APPEND CLASSLINGO_ENGINE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/Classifier.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FilterList.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PieceScan.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Scanner.cpp
)

# Zip archives: the layout of an archive's records, reading and writing entries' contents,
# and writing an archive back with its unchanged records copied.
list(APPEND CLASSLINGO_ENGINE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/EntryCodec.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ZipFault.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ZipLayout.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ZipWriter.cpp
)

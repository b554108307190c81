# Zip archives: the layout of an archive's records, reading and writing entries' contents,
# writing an archive back with its unchanged records copied, and the archive held in memory
# that the rest of the engine reads and rewrites (JarArchive), its work spread over the cores.
list(APPEND CLASSLINGO_ENGINE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/EntryCodec.cpp
  ${CMAKE_CURRENT_LIST_DIR}/JarArchive.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ZipFault.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ZipLayout.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ZipWriter.cpp
)

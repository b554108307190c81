# Files: the file-system seam, its native implementation, and whole-file reading and safe writing.
list(APPEND CLASSLINGO_ENGINE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/FileOps.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FileSystem.cpp
  ${CMAKE_CURRENT_LIST_DIR}/NativeFileSystem.cpp
)

# Files: the file-system seam, its native implementation, whole-file reading and safe writing,
# folders and the identity of files.
list(APPEND CLASSLINGO_ENGINE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/FileOps.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FileSystem.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FolderTree.cpp
  ${CMAKE_CURRENT_LIST_DIR}/NativeFileSystem.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SameFile.cpp
)

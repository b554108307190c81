# Bytes and code pages: the byte string, the GBK code page layer and UTF-8.
list(APPEND CLASSLINGO_ENGINE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/ByteString.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CodePage.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CodePoints.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ControlEscapes.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Utf8.cpp
)

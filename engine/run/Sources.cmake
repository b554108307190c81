# Running a translated program: finding java, what a jar's manifest and its classes say about
# how it starts, where the run puts the program and the command line that starts it.
list(APPEND CLASSLINGO_ENGINE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/FindJava.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MainMethod.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Manifest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/RunCommand.cpp
  ${CMAKE_CURRENT_LIST_DIR}/RunLayout.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TrialRun.cpp
)

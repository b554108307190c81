# Running a translated program: finding java, where the run puts the program and the command
# line that starts it, from the start facts the session read (catalogue/StartFacts.h).
list(APPEND CLASSLINGO_ENGINE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/FindJava.cpp
  ${CMAKE_CURRENT_LIST_DIR}/RunCommand.cpp
  ${CMAKE_CURRENT_LIST_DIR}/RunLayout.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TrialRun.cpp
)

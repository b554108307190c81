# Where string literals go: the per-method data-flow as passes (blocks, frame solver, transfer
# and calls, facts), the per-class step, the table of consumers, the program-wide step (class
# hierarchy, use graph and its fixed point) and the decision per text (offer policy).
list(APPEND CLASSLINGO_ENGINE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/ActionValues.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ClassAnalysis.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ClassHierarchy.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ClassScope.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ConsumerTable.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Descriptor.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FlowBlocks.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FlowCalls.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FlowFacts.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FlowTransfer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FrameSolver.cpp
  ${CMAKE_CURRENT_LIST_DIR}/KeyLookups.cpp
  ${CMAKE_CURRENT_LIST_DIR}/LookedUpPolicy.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MethodFlow.cpp
  ${CMAKE_CURRENT_LIST_DIR}/OfferPolicy.cpp
  ${CMAKE_CURRENT_LIST_DIR}/OutputStreams.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ProgramUsage.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TextShape.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ThroughCalls.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TranslationCalls.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Use.cpp
  ${CMAKE_CURRENT_LIST_DIR}/UseGraph.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ValueSets.cpp
)

# Resource bundles: .properties files read and written as java.util.Properties does, the
# families of language variants of a program, and which of their values are offered.
list(APPEND CLASSLINGO_ENGINE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/BundleFamilies.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Letters.cpp
  ${CMAKE_CURRENT_LIST_DIR}/LocaleTag.cpp
  ${CMAKE_CURRENT_LIST_DIR}/OfferedValues.cpp
  ${CMAKE_CURRENT_LIST_DIR}/OrderedLangFiles.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Properties.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PropertiesWriter.cpp
)

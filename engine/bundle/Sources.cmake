# Resource bundles: .properties files read and written as java.util.Properties does, the
# families of language variants of a program, which of their values are offered, and gettext's
# Java bundles (the classes msgfmt --java2 makes) read and written.
list(APPEND CLASSLINGO_ENGINE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/BundleFamilies.cpp
  ${CMAKE_CURRENT_LIST_DIR}/GettextJavaBundle.cpp
  ${CMAKE_CURRENT_LIST_DIR}/GettextJavaWriter.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Letters.cpp
  ${CMAKE_CURRENT_LIST_DIR}/LocaleTag.cpp
  ${CMAKE_CURRENT_LIST_DIR}/OfferedValues.cpp
  ${CMAKE_CURRENT_LIST_DIR}/OrderedLangFiles.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Properties.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PropertiesWriter.cpp
)

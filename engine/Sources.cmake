# The engine's sources, listed once: the engine library and the instrumented copy the fuzz
# targets build both take them from here. Each subsystem folder lists its own files.
set(CLASSLINGO_ENGINE_DIR ${CMAKE_CURRENT_LIST_DIR})
set(CLASSLINGO_ENGINE_SOURCES)
include(${CLASSLINGO_ENGINE_DIR}/text/Sources.cmake)
include(${CLASSLINGO_ENGINE_DIR}/scan/Sources.cmake)
include(${CLASSLINGO_ENGINE_DIR}/files/Sources.cmake)
include(${CLASSLINGO_ENGINE_DIR}/document/Sources.cmake)
include(${CLASSLINGO_ENGINE_DIR}/classfile/Sources.cmake)
include(${CLASSLINGO_ENGINE_DIR}/zip/Sources.cmake)
include(${CLASSLINGO_ENGINE_DIR}/catalogue/Sources.cmake)
include(${CLASSLINGO_ENGINE_DIR}/formats/Sources.cmake)
include(${CLASSLINGO_ENGINE_DIR}/bundle/Sources.cmake)
include(${CLASSLINGO_ENGINE_DIR}/usage/Sources.cmake)
include(${CLASSLINGO_ENGINE_DIR}/run/Sources.cmake)

# The libraries the engine links: libdeflate to inflate and deflate the entries of JARs (the
# engine reads and writes their records itself), libgettextpo for PO catalogues.
function(classlingo_link_engine_dependencies target)
  find_package(PkgConfig REQUIRED)
  find_path(CLASSLINGO_GETTEXTPO_INCLUDE gettext-po.h REQUIRED)
  find_library(CLASSLINGO_GETTEXTPO_LIBRARY gettextpo REQUIRED)
  pkg_check_modules(CLASSLINGO_LIBDEFLATE REQUIRED IMPORTED_TARGET libdeflate)
  target_include_directories(${target} PRIVATE ${CLASSLINGO_GETTEXTPO_INCLUDE})
  target_link_libraries(${target} PUBLIC PkgConfig::CLASSLINGO_LIBDEFLATE ${CLASSLINGO_GETTEXTPO_LIBRARY})
endfunction()

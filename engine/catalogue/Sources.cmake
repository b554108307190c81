# Whole programs: JAR archives and gettext PO catalogues.
list(APPEND CLASSLINGO_ENGINE_SOURCES
)

# The class-file model: a bounds-checked reader, the parser and the role of every Utf8 entry.
list(APPEND CLASSLINGO_ENGINE_SOURCES
)

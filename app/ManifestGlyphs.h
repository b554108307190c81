#pragma once
// The two 16 x 16 toolbar glyphs of the manifest editor, drawn in code so that they look the same
// on every platform and style: an open folder with a curved arrow, and a floppy disk.

#include <QIcon>

QIcon OpenFolderGlyph();
QIcon FloppyDiskGlyph();

#pragma once
// The main window's font: "宋体" at 12 pixels, falling back to an installed CJK font where
// SimSun is missing (as on most Linux systems), so that the Chinese texts always render.

#include <QFont>

// Registers the CJK fallbacks for "宋体" with Qt's font substitution table.
void RegisterSongTiSubstitutes();

QFont MainWindowFont();

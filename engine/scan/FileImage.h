#pragma once
// FileImage lives with the files (files/FileImage.h). This name stays only while the main
// window (app/Main.h) still includes it; it goes once that include names files/.
#include "files/FileImage.h"

#pragma once
#include <QFont>

// The wizard's faces are "Segoe UI", "Segoe UI Semibold" and "Tahoma". Where a
// face is not installed a bundled open face stands in, so that the wizard looks
// the same on every machine; layouts measure the text they get, so a wider
// stand-in moves labels rather than clipping them.

// Registers the stand-in faces with Qt (once; later calls do nothing). Needs a
// QGuiApplication.
void LoadStandInFonts();

// A face by its Windows name at a character height in pixels.
QFont UiFont(const char* face, int pixelHeight, bool bold = false);

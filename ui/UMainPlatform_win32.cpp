// On Windows Qt draws text with its own FreeType engine. The release is
// tested under Wine, where DirectWrite finds no substitute for Arial (every
// glyph a box) and the GDI engine drops the capital I from the captions;
// FreeType draws the same glyphs there as on Windows, so what we ship is
// what the tests saw.
#include "UMain.h"

#include <QtGlobal>

void ChoosePlatform()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "windows:fontengine=freetype");
}

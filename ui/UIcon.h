// The program's icon, drawn from one list of shapes on a 256-unit square (a
// location pin on a rounded tile): the window's icon, and the files that the
// packages carry (SVG for the desktop, PNG sizes, the Windows .ico).
#pragma once

#include <QByteArray>
#include <QIcon>
#include <QImage>
#include <QString>

#include <span>

// The sizes the packages carry, in pixels.
std::span<const int> IconSizes();

QImage DrawIcon(int Size);
QString IconSvg();
// Every size of IconSizes in one .ico: 32-bit images, the largest as PNG.
QByteArray IconIco();
// Every size of IconSizes, for window title bars and task bars.
QIcon ProgramIcon();

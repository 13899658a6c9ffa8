#include "UDecls.h"

TSettings Settings;
uint8_t DeviceImage[DeviceImageSize];
TFolderPath ProgramDir;
TFileName CurrentFileName;
int32_t PortIndex;

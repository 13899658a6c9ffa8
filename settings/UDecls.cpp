#include "UDecls.h"

TSettings Settings;
uint8_t DeviceImage[DeviceImageSize];
TFileName ProgramDir;
TFileName CurrentFileName;
int32_t PortIndex;

#include "UProcs.h"
#include "UDecls.h"
void SetDefaultSettings() {}
std::string CheckSettings() { return {}; }
void EncodeDeviceImage() {}

#include "UPortNames.h"

const TComPorts ComPorts = {256};

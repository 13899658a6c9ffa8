#include "UPortNames.h"

const TComPorts ComPorts = {TComPorts::Window};

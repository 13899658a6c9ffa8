// On Linux Qt picks its platform (xcb, wayland) as it always does.
#include "UMain.h"

void ChoosePlatform() {}

// placeholder, replaced by the image builder
#include "host/mktinyfs/cImageBuilder.h"

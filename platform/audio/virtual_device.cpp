#include "platform/audio/virtual_device.h"

#include "platform/picture.h"

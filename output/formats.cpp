#include "output/formats.h"

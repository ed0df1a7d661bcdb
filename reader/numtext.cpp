#include "reader/numtext.h"

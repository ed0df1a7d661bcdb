#include "reader/testrecord.h"

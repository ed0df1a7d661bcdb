#include "analysis/core/cycle.h"

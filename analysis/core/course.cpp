#include "analysis/core/course.h"

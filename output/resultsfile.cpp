#include "output/resultsfile.h"

#include "base/utils/StopWatch.h"

#include "base/utils/StopWatchSet.h"

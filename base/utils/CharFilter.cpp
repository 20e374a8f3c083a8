#include "base/utils/CharFilter.h"

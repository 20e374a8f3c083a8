#include "base/utils/stringUtils.h"

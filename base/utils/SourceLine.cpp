#include "base/utils/SourceLine.h"

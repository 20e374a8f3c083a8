#include "base/utils/SourceErrorRef.h"

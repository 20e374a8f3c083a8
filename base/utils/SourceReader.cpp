#include "base/utils/SourceReader.h"

#include "base/Logging.h"

int Logging::logLevel = 7;
const char* Logging::progName = "prog";
FILE* Logging::logFile = nullptr;
const char* Logging::logFileName = nullptr;
pthread_mutex_t Logging::mutex = PTHREAD_MUTEX_INITIALIZER;

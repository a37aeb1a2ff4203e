#include "running_under_wine.h"

bool RunningUnderWine() { return false; }

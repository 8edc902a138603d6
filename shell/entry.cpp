#include "shell/entry.h"

bool creationFailed = false;

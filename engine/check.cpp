#include "check.h"

#include "substitution.h"

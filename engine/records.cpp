#include "records.h"

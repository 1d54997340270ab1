#include "tests/support/EmfCheck.h"

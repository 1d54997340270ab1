#include "network/NodeSearch.h"

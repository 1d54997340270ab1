#include "network/ShortestPath.h"

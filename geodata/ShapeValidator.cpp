#include "geodata/ShapeValidator.h"

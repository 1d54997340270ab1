#include "graphio/GraphExporter.h"

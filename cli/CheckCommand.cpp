#include "cli/CheckCommand.h"

namespace tessaro {

int RunCheckCommand(const CheckOptions&, std::ostream&) { return 2; }

} // namespace tessaro

#include "WaitGuard.h"

#include "UserInterface.h"

namespace tessaro {

CWaitGuard::CWaitGuard() { BeginWait(); }

CWaitGuard::~CWaitGuard() { EndWait(); }

} // namespace tessaro

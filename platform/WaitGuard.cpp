#include "platform/WaitGuard.h"

#include "platform/UserInterface.h"

namespace tessaro {

CWaitGuard::CWaitGuard() { BeginWait(); }

CWaitGuard::~CWaitGuard() { EndWait(); }

} // namespace tessaro

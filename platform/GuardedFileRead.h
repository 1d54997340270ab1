#pragma once

#include "platform/FileError.h"
#include "platform/ThreadPriorityGuard.h"
#include "platform/UserInterface.h"
#include "platform/WaitGuard.h"

#include <optional>
#include <type_traits>

namespace tessaro {

// Runs `read` the way the program reads a file the user chose: under the wait indicator, with
// the calling thread at below-normal priority, both restored on every way out. A file error
// thrown by `read` is shown as an error once the indicator is gone and gives no result;
// otherwise the result is what `read` returned.
template <class Read>
std::optional<std::invoke_result_t<Read&>> GuardedFileRead(Read&& read)
{
    try {
        CWaitGuard wait;
        CThreadPriorityGuard lowered;
        return read();
    } catch (const CFileError& error) {
        ShowMessage(error.what(), MessageKind::Error);
        return std::nullopt;
    }
}

} // namespace tessaro

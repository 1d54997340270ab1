#pragma once

namespace tessaro {

// The programs' version: the project's release number, followed by the checkout's `git describe`
// when they were built from a git working tree, e.g. "0.1.0 (git c6f2342-dirty)". The source is
// written at build time.
const char* ProgramVersion();

} // namespace tessaro

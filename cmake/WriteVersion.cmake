# Writes the source of tessaro::ProgramVersion(): the project's version and, when the sources are
# a git checkout, its `git describe`. Run at every build (cmake -P), it rewrites the file only when
# the text changes, so an unchanged checkout rebuilds nothing and a new commit relinks the programs.
# Variables: SOURCE_DIR, OUTPUT, VERSION.
set(describe "")
find_package(Git QUIET)
if(GIT_FOUND AND EXISTS "${SOURCE_DIR}/.git")
  execute_process(COMMAND "${GIT_EXECUTABLE}" -C "${SOURCE_DIR}" describe --tags --always --dirty
                  OUTPUT_VARIABLE describe OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    set(describe "")
  endif()
endif()

set(text "${VERSION}")
if(describe)
  string(APPEND text " (git ${describe})")
endif()
set(content "// Written by cmake/WriteVersion.cmake at build time.\n#include \"platform/Version.h\"\n\n"
            "const char* tessaro::ProgramVersion() { return \"${text}\"; }\n")
set(old "")
if(EXISTS "${OUTPUT}")
  file(READ "${OUTPUT}" old)
endif()
if(NOT old STREQUAL content)
  file(WRITE "${OUTPUT}" "${content}")
endif()

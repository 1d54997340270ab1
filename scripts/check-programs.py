#!/usr/bin/env python3
"""Checks that every program the tests and scripts start is installed by scripts/install-deps.sh.

A fresh Debian 12 machine has only its essential and required packages; anything else a test or
script runs (pdftoppm, dot, ogr2ogr, xvfb-run...) must come from a package in install-deps.sh's
list, or from a package that one of those depends on directly. The programs are found where the
code starts them:
  - C++ tests: the first word of a string literal passed to std::system, popen or QProcess;
  - CMake files: find_program(VAR NAME ...);
  - shell scripts (scripts/, bench/, tests/, .ci/run): the first word of every simple command,
    command substitutions included, after assignments, keywords and redirections.
Each program is looked up on PATH and its owner asked of dpkg.

Usage: scripts/check-programs.py [--without PACKAGE]...
  --without PACKAGE   check as if the list lacked PACKAGE (the test that the check can fail)
Exit status: 0 every program is covered, 1 some are not (each named with what starts it).
"""
import argparse
import os
import re
import shlex
import shutil
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

SHELL_WORDS = set("""
    ! [ [[ ]] { } : . alias break case cd command continue declare do done echo elif else esac
    eval exec exit export false fi for function getopts if in let local mapfile printf pwd read
    readonly return select set shift source test then time trap true type ulimit umask unset
    until wait while
""".split())

# Words after which a command still follows.
COMMAND_PREFIXES = {"if", "elif", "then", "do", "else", "while", "until", "!", "time", "{"}

CXX_CALL = re.compile(r'(?:\bsystem|\bpopen|QProcess::execute|QProcess::startDetached|\.start)\s*\(\s*\(?\s*u?"([^"\s]+)')
CMAKE_FIND = re.compile(r'find_program\s*\(\s*\w+\s+(?:NAMES\s+)?([A-Za-z0-9_.+-]+)')
FUNCTION_DEF = re.compile(r'^\s*(?:function\s+)?([A-Za-z_][\w-]*)\s*\(\)\s*\{?', re.M)
ASSIGNMENT = re.compile(r'^[A-Za-z_]\w*(\[[^]]*\])?\+?=')
ONE_LINE_ARRAY = re.compile(r'\b([A-Za-z_]\w*)=\([^()]*\)')
REDIRECTION = re.compile(r'^\d*(>>?|<|>&|<&)')


def source_files():
    """Yields (path, kind) of every file that may start a program."""
    for folder in ("tests", "scripts", "bench", ".ci", "cli", "app", "run", "document", "geodata"):
        for base, dirs, files in os.walk(os.path.join(ROOT, folder)):
            dirs[:] = [d for d in dirs if d not in ("corpus", "crashes", "data")]
            for name in files:
                path = os.path.join(base, name)
                if name.endswith((".cpp", ".h")) and folder in ("tests", "bench"):
                    yield path, "cxx"
                elif name == "CMakeLists.txt" or name.endswith(".cmake"):
                    yield path, "cmake"
                elif name.endswith(".sh") or (folder == ".ci" and name == "run"):
                    yield path, "shell"
    yield os.path.join(ROOT, "CMakeLists.txt"), "cmake"


def split_substitutions(line):
    """Returns the line with each $( ... ) replaced by a word, and the bodies found, innermost too."""
    bodies, out, i = [], [], 0
    while i < len(line):
        if line.startswith("$(", i) and not line.startswith("$((", i):
            depth, j, quote = 1, i + 2, None
            while j < len(line) and depth:
                c = line[j]
                if quote:
                    if c == quote:
                        quote = None
                    elif c == "\\" and quote == '"':
                        j += 1
                elif c in "'\"":
                    quote = c
                elif c == "\\":
                    j += 1
                elif c == "(":
                    depth += 1
                elif c == ")":
                    depth -= 1
                j += 1
            body = line[i + 2:j - 1]
            inner, nested = split_substitutions(body)
            bodies.append(inner)
            bodies.extend(nested)
            out.append("SUBST")
            i = j
        else:
            out.append(line[i])
            i += 1
    return "".join(out), bodies


def first_words(command_line):
    """The first word of every simple command of one logical shell line."""
    try:
        lexer = shlex.shlex(command_line, posix=True, punctuation_chars=";&|()<>")
        lexer.whitespace_split = True
        lexer.commenters = "#"
        tokens = list(lexer)
    except ValueError:
        return []
    words, at_start, skip_next = [], True, False
    for token in tokens:
        if skip_next:
            skip_next = False
            continue
        if token and set(token) <= set(";&|()"):
            at_start = True
            continue
        if token and set(token) <= set("<>"):
            skip_next = True  # the redirection's target
            continue
        if not at_start:
            continue
        if ASSIGNMENT.match(token) or REDIRECTION.match(token) or token in COMMAND_PREFIXES:
            continue
        if token in ("env", "exec", "command", "xargs", "nice", "nohup"):
            continue  # the wrapped program follows
        words.append(token)
        at_start = False
    return words


def logical_lines(text):
    """Lines joined at trailing backslashes, without the bodies of array literals."""
    joined = re.sub(r"\\\n", " ", text)
    lines, in_array = [], False
    for line in joined.splitlines():
        stripped = line.strip()
        if in_array:
            in_array = not stripped.startswith(")")
            continue
        if re.match(r"^[A-Za-z_]\w*=\($", stripped) or re.match(r"^[A-Za-z_]\w*=\([^)]*$", stripped):
            in_array = True
            continue
        lines.append(line)
    return lines


def shell_programs(text):
    functions = set(FUNCTION_DEF.findall(text))
    found = []
    for line in logical_lines(text):
        if line.lstrip().startswith("#"):
            continue
        line = ONE_LINE_ARRAY.sub(lambda m: m.group(1) + "=ARRAY", line)
        outer, bodies = split_substitutions(line)
        for part in [outer] + bodies:
            for word in first_words(part):
                if word in SHELL_WORDS or word in functions or word == "SUBST":
                    continue
                if word.startswith(("$", "./", "-", "~")) or "$" in word or word.endswith(")"):
                    continue  # a variable, one of our own programs, an option or a case label
                found.append(word)
    return found


def programs_started():
    """Maps each program to the files (relative to the repository) that start it."""
    started = {}
    for path, kind in source_files():
        try:
            with open(path, encoding="utf-8", errors="replace") as f:
                text = f.read()
        except OSError:
            continue
        if kind == "cxx":
            names = CXX_CALL.findall(text)
        elif kind == "cmake":
            names = CMAKE_FIND.findall(text)
        else:
            names = shell_programs(text)
        for name in names:
            started.setdefault(name, set()).add(os.path.relpath(path, ROOT))
    return started


def dpkg_query(packages, field):
    if not packages:
        return {}
    result = subprocess.run(["dpkg-query", "-W", "-f", "${Package}\t${" + field + "}\n", *packages],
                            capture_output=True, text=True)
    values = {}
    for line in result.stdout.splitlines():
        name, _, value = line.partition("\t")
        values[name] = value
    return values


# Where Debian's packages put programs; /usr/local and a user's own folders are not looked in.
SYSTEM_PATH = "/usr/sbin:/usr/bin:/sbin:/bin"


def owner(program):
    """The package that owns the program found on PATH, or None."""
    path = program if os.path.isabs(program) else shutil.which(program, path=SYSTEM_PATH)
    if path is None or not os.path.exists(path):
        return None
    candidates = []
    for p in (path, os.path.realpath(path)):
        candidates.append(p)
        if p.startswith("/usr/"):
            candidates.append(p[4:])
        else:
            candidates.append("/usr" + p)
    for candidate in candidates:
        result = subprocess.run(["dpkg-query", "-S", candidate], capture_output=True, text=True)
        if result.returncode == 0:
            return result.stdout.split(":")[0].split(",")[0].strip()
    return "?"  # on PATH, but no package owns it: installed by hand


def covered_packages(listed):
    """The listed packages, their direct dependencies (Depends and Pre-Depends), and the essential and required ones."""
    covered = set(listed)
    for depends in dpkg_query(sorted(listed), "Depends}, ${Pre-Depends").values():
        for alternative in re.split(r"[,|]", depends):
            name = alternative.strip().split(" ")[0].split(":")[0]
            if name:
                covered.add(name)
    return covered


def base_package(package):
    info = dpkg_query([package], "Essential} ${Priority")
    essential, _, priority = info.get(package, " ").partition(" ")
    return essential == "yes" or priority == "required"


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--without", action="append", default=[], metavar="PACKAGE")
    args = parser.parse_args()

    listed = subprocess.run(["bash", os.path.join(ROOT, "scripts/install-deps.sh"), "--list"],
                            capture_output=True, text=True, check=True).stdout.split()
    listed = [p for p in listed if p not in args.without]
    covered = covered_packages(listed)

    failures = []
    started = programs_started()
    for program in sorted(started):
        by = ", ".join(sorted(started[program]))
        package = owner(program)
        if package is None:
            failures.append(f"{program}: started by {by}, not found on this machine")
        elif package == "?":
            failures.append(f"{program}: started by {by}, installed by hand (no Debian package owns it)")
        elif package not in covered and not base_package(package):
            failures.append(f"{program}: started by {by}, from {package}, which scripts/install-deps.sh does not install")
        else:
            print(f"{program:24} {package:24} {by}")
    if failures:
        print("\n".join(["Programs that a fresh Debian 12 machine would lack:"] + failures), file=sys.stderr)
        return 1
    print(f"{len(started)} programs started by the tests and scripts, each installed by scripts/install-deps.sh "
          "or part of every Debian system")
    return 0


if __name__ == "__main__":
    sys.exit(main())

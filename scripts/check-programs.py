#!/usr/bin/env python3
"""Checks that every program the tests and scripts start is installed by scripts/install-deps.sh.

A fresh Debian 12 machine has only its essential and required packages; anything else a test or
script runs (pdftoppm, dot, ogr2ogr, xvfb-run...) must come from a package in install-deps.sh's
list, or from a package that one of those depends on directly. The programs are found where the
code starts them:
  - C++ tests: the first word of a string literal passed to std::system, popen or QProcess;
  - CMake files: find_program(VAR NAME ...);
  - Python scripts: the first element of a list passed to subprocess;
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
PYTHON_CALL = re.compile(r'subprocess\.\w+\(\s*\[\s*"([^"\s]+)"')
CMAKE_FIND = re.compile(r'find_program\s*\(\s*\w+\s+(?:NAMES\s+)?([A-Za-z0-9_.+-]+)')
FUNCTION_DEF = re.compile(r'^\s*(?:function\s+)?([A-Za-z_][\w-]*)\s*\(\)\s*\{?', re.M)
ASSIGNMENT = re.compile(r'^[A-Za-z_]\w*(\[[^]]*\])?\+?=')
ONE_LINE_ARRAY = re.compile(r'\b([A-Za-z_]\w*)=\([^()]*\)')
HEREDOC = re.compile(r"<<-?\s*['\"]?(\w+)['\"]?")
ARITHMETIC = re.compile(r"\$?\(\([^()]*\)\)")
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
                elif name.endswith(".py"):
                    yield path, "python"
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
    for index, token in enumerate(tokens):
        if at_start and index + 1 < len(tokens) and tokens[index + 1] == ")":
            at_start = False  # a case label, not a command
            continue
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


def open_quotes(line, stack):
    """The quotes and command substitutions still open at the end of the line, innermost last,
    given those open at its start: a "$(" opens a new level in which quotes start afresh."""
    stack = list(stack)
    i = 0
    while i < len(line):
        c = line[i]
        top = stack[-1] if stack else None
        if top == "'":
            if c == "'":
                stack.pop()
        elif c == "\\":
            i += 1
        elif top == '"' and c == '"':
            stack.pop()
        elif line.startswith("$(", i):
            stack.append("$(")
            i += 1
        elif top == '"':
            pass
        elif c == ")" and top == "$(":
            stack.pop()
        elif c == "#" and (i == 0 or line[i - 1] in " \t"):
            break
        elif c in "'\"":
            stack.append(c)
        i += 1
    return stack


def logical_lines(text):
    """Whole commands: lines joined at trailing backslashes and inside quoted strings, without
    the bodies of here-documents and array literals."""
    joined = re.sub(r"\\\n", " ", text)
    lines, pending, quotes, in_array, heredoc_end = [], "", [], False, None
    for line in joined.splitlines():
        stripped = line.strip()
        if heredoc_end is not None:
            if stripped == heredoc_end:
                heredoc_end = None
            continue
        if in_array:
            in_array = not stripped.startswith(")")
            continue
        if not pending and re.match(r"^[A-Za-z_]\w*=\([^)]*$", stripped):
            in_array = True
            continue
        pending = pending + "\n" + line if pending else line
        quotes = open_quotes(line, quotes)
        if quotes:
            continue
        heredoc = HEREDOC.search(pending)
        if heredoc:
            heredoc_end = heredoc.group(1)
        lines.append(pending)
        pending = ""
    return lines


def shell_programs(text):
    functions = set(FUNCTION_DEF.findall(text))
    found = []
    for line in logical_lines(text):
        if line.lstrip().startswith("#"):
            continue
        line = ONE_LINE_ARRAY.sub(lambda m: m.group(1) + "=ARRAY", line)
        line = HEREDOC.sub("", ARITHMETIC.sub("0", line))
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
        elif kind == "python":
            names = PYTHON_CALL.findall(text)
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


def owners(programs):
    """Maps each program to the package that owns it as found on the system's PATH: None when it
    is not found, "?" when no package owns it (installed by hand)."""
    candidates = {}
    for program in programs:
        path = program if os.path.isabs(program) else shutil.which(program, path=SYSTEM_PATH)
        if path is None or not os.path.exists(path):
            continue
        paths = []
        for p in (path, os.path.realpath(path)):
            paths += [p, p[4:] if p.startswith("/usr/") else "/usr" + p]
        candidates[program] = paths
    every_path = sorted({p for paths in candidates.values() for p in paths})
    result = subprocess.run(["dpkg-query", "-S", *every_path], capture_output=True, text=True) if every_path else None
    owner_of_path = {}
    for line in (result.stdout.splitlines() if result else []):
        package, _, path = line.partition(": ")
        owner_of_path[path.strip()] = package.split(",")[0].split(":")[0].strip()
    found = {}
    for program in programs:
        if program not in candidates:
            found[program] = None
            continue
        found[program] = next((owner_of_path[p] for p in candidates[program] if p in owner_of_path), "?")
    return found


def covered_packages(listed):
    """The listed packages, their direct dependencies (Depends and Pre-Depends), and the essential and required ones."""
    covered = set(listed)
    for depends in dpkg_query(sorted(listed), "Depends}, ${Pre-Depends").values():
        for alternative in re.split(r"[,|]", depends):
            name = alternative.strip().split(" ")[0].split(":")[0]
            if name:
                covered.add(name)
    return covered


def base_packages(packages):
    """Those of the packages that every Debian system has: essential, or of required priority."""
    base = set()
    for package, info in dpkg_query(sorted(packages), "Essential} ${Priority").items():
        essential, _, priority = info.partition(" ")
        if essential == "yes" or priority == "required":
            base.add(package)
    return base


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
    owner = owners(sorted(started))
    base = base_packages({p for p in owner.values() if p and p != "?"})
    for program in sorted(started):
        by = ", ".join(sorted(started[program]))
        package = owner[program]
        if package is None:
            failures.append(f"{program}: started by {by}, not found on this machine")
        elif package == "?":
            failures.append(f"{program}: started by {by}, installed by hand (no Debian package owns it)")
        elif package not in covered and package not in base:
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

#!/usr/bin/python3
"""Holds the scripts to the packages they install.

  check_commands.py ROOT BIN "PACKAGE: COMMAND..." ...

Every command named must be on the PATH as a file of that Debian package (dpkg -S), which must
be installed; BIN then gets a link to that file under the command's name, so that the scripts
run Debian's copy whatever else comes first on the PATH. And every external command that the
repository's shell scripts call must be named: a command a script calls but nobody installs is
one that a fresh machine lacks. Exits 1 with the command and its package named.
"""
import os
import re
import shutil
import subprocess
import sys

SHELL_SCRIPTS = ("run", "test", "package", ".ci/run", "bench/run", "fuzz/run", "tools/fresh-check",
                 "tools/deb-check", "packaging/debian/folirex")
SEPARATOR = re.compile(r"\|\||&&|[|;&`]|\$\(|\(|\)|\bthen\b|\bdo\b|\belse\b|\belif\b|\bif\b|"
                       r"\bwhile\b|\buntil\b|!|\bexec\b|\btime\b|\bcommand\b")
WORD = re.compile(r"[A-Za-z][A-Za-z0-9_+.-]*")
HEREDOC = re.compile(r"<<-?\s*['\"]?([A-Za-z_]+)['\"]?")


def owners(paths):
    """dpkg's owner of each path it knows, in one call."""
    found = subprocess.run(["dpkg", "-S", *paths], capture_output=True, text=True).stdout
    owner = {}
    for line in found.splitlines():
        if line.startswith("diversion "):
            continue
        packages, _, path = line.partition(": ")
        owner[path] = packages.split(",")[0].split(":")[0].strip()
    return owner


def candidates(command):
    """Every file the command's name reaches on the PATH, then the usual places."""
    seen = []
    for folder in os.environ.get("PATH", "").split(":") + ["/usr/bin", "/usr/sbin", "/bin", "/sbin"]:
        path = os.path.join(folder or ".", command)
        if os.path.isfile(path) and os.access(path, os.X_OK) and path not in seen:
            seen.append(path)
    return seen


def script_files(root):
    listed = subprocess.run(["git", "-C", root, "ls-files", "--cached", "--others", "--exclude-standard"], capture_output=True, text=True).stdout
    names = [n for n in listed.splitlines() if n.endswith(".sh") or n in SHELL_SCRIPTS]
    return [os.path.join(root, n) for n in names if os.path.isfile(os.path.join(root, n))]


def literal_free(line):
    """The line with comments and quoted literal text taken out; $(...) inside quotes stays."""
    line = re.sub(r"'[^']*'", "''", line)
    line = re.sub(r'"(?:[^"$\\]|\\.|\$(?!\())*"', '""', line)
    return re.sub(r"(^|\s)#.*", "", line)


def called_commands(path, builtins):
    """The words in command position of a shell script, heredoc bodies and comments left out."""
    words, functions, heredoc_end = set(), set(), None
    for line in open(path, encoding="utf-8", errors="replace"):
        if heredoc_end:
            if line.strip() == heredoc_end:
                heredoc_end = None
            continue
        match = HEREDOC.search(line)
        if match:
            heredoc_end = match.group(1)
        line = literal_free(line)
        functions.update(re.findall(r"^\s*([A-Za-z_][A-Za-z0-9_]*)\s*\(\)", line))
        starts = [0] + [m.end() for m in SEPARATOR.finditer(line)]
        for start in starts:
            match = re.match(r"\s*((?:[A-Za-z_][A-Za-z0-9_]*=\S*\s+)*)([^\s;&|()]+)(\)?)",
                             line[start:])
            # A word right before ")" is a case pattern, not a command.
            if match and not match.group(3) and WORD.fullmatch(match.group(2)):
                words.add(match.group(2))
    return {w for w in words - functions - builtins if shutil.which(w)}


def main():
    root, bin_dir, table = sys.argv[1], sys.argv[2], sys.argv[3:]
    package_of = {}
    for row in table:
        package, _, commands = row.partition(":")
        for command in commands.split():
            package_of[command] = package.strip()

    builtins = set(subprocess.run(["bash", "-c", "compgen -bk"], capture_output=True,
                                  text=True).stdout.split())
    problems = []
    for path in script_files(root):
        for command in sorted(called_commands(path, builtins) - package_of.keys()):
            problems.append(f"{os.path.relpath(path, root)} calls {command}, which no package "
                            f"in tools/common.sh's COMMANDS provides")

    paths = {c: candidates(c) for c in package_of}
    all_paths = {p for ps in paths.values() for p in ps}
    all_paths |= {os.path.realpath(p) for p in all_paths}
    owner = owners(sorted(all_paths)) if all_paths else {}
    installed = subprocess.run(["dpkg-query", "-W", "-f", "${Package} ${Status}\n"],
                               capture_output=True, text=True).stdout
    installed = {l.split()[0] for l in installed.splitlines() if l.endswith("install ok installed")}

    os.makedirs(bin_dir, exist_ok=True)
    for command, package in sorted(package_of.items()):
        chosen = next((p for p in paths[command]
                       if package in (owner.get(p), owner.get(os.path.realpath(p)))), None)
        if chosen:
            link = os.path.join(bin_dir, command)
            if os.path.realpath(link) != os.path.realpath(chosen):
                if os.path.lexists(link):
                    os.remove(link)
                os.symlink(chosen, link)
        elif package not in installed:
            problems.append(f"{command}: its package {package} is not installed")
        else:
            found = ", ".join(f"{p} ({owner.get(os.path.realpath(p), 'no package')})"
                              for p in paths[command]) or "nothing on the PATH"
            problems.append(f"{command}: not found as a file of {package}; found {found}")
    for problem in problems:
        print(f"check_commands: {problem}", file=sys.stderr)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())

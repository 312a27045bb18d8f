#!/usr/bin/python3
"""Holds the scripts to the packages they install.

  check_commands.py link BIN "PACKAGE: COMMAND..." ...
      Every command named must be on the PATH as a file of that Debian package (dpkg -S), which
      must be installed; BIN then gets a link to that file under the command's name, so that the
      scripts run Debian's copy whatever else comes first on the PATH. The scripts run this
      before building: it stops them only for a package that is missing.
  check_commands.py audit ROOT|SCRIPT... -- "PACKAGE: COMMAND..." ...
      Every external command that the repository's shell scripts (or the scripts given) call
      must be named: a command a script calls but nobody installs is one that a fresh machine
      lacks. The scripts are read as a shell reads them: comments, quoted text (the awk, sed and
      Python programs in it), here-documents and assignments are no calls. A test runs this.
Exits 1 with the command and its package named.
"""
import os
import re
import shutil
import subprocess
import sys

# The scripts the project runs. Not audited: packaging/debian/folirex, which runs on the user's
# machine with the Debian package's dependencies, and tools/deb-session.sh, which runs in
# fresh-check's new root with the tools fresh-check installs there.
SHELL_SCRIPTS = ("run", "test", "package", ".ci/run", "bench/run", "fuzz/run", "tools/fresh-check")
NOT_AUDITED = ("tools/deb-session.sh",)
# What ends one command and may start the next on the same line.
SEPARATOR = re.compile(r"\|\||&&|[|;&`]|\$\(|\(|\)|(?<!\$)\{|\}|\bthen\b|\bdo\b|\belse\b|\belif\b|\bif\b|"
                       r"\bwhile\b|\buntil\b|!|\bexec\b|\btime\b|\bcommand\b|\bxargs\b|\btimeout\s+\S+")
WORD = re.compile(r"[A-Za-z][A-Za-z0-9_+.-]*")
HEREDOC = re.compile(r"<<-?\s*(['\"]?)([A-Za-z_][A-Za-z0-9_]*)\1")


def code_only(text):
    """The script with what a shell does not run as commands blanked out: comments, the text of
    quotes ('...', $'...', "..." less the $(...) inside), arrays' words and here-documents'
    bodies. A line break inside quotes goes with them: it ends no command."""
    out, i, n = [], 0, len(text)
    pending = []   # here-documents whose bodies start at the next line
    quote = None   # None, or '"' inside double quotes
    depth = []     # for each open $( inside double quotes, the quote it returns to
    while i < n:
        c = text[i]
        if quote == '"':
            if c == "\\":
                i += 2
            elif c == '"':
                quote = None
                out.append('""')
                i += 1
            elif text.startswith("$(", i) and not text.startswith("$((", i):
                depth.append('"')
                quote = None
                out.append("$(")
                i += 2
            else:
                i += 1
            continue
        if c == "\\":
            out.append(text[i:i + 2])
            i += 2
        elif c == "'" or text.startswith("$'", i):
            start = i + (2 if c == "$" else 1)
            end = start
            while end < n and text[end] != "'":
                end += 2 if c == "$" and text[end] == "\\" else 1
            out.append("''")
            i = end + 1
        elif c == '"':
            quote = '"'
            i += 1
        elif c == ")" and depth:
            out.append(")")
            quote = depth.pop()
            i += 1
        elif text.startswith("=(", i):  # an array's words are no commands
            end = i + 2
            while end < n and text[end] != ")":
                if text[end] in "'\"":
                    end = text.find(text[end], end + 1)
                    end = n if end < 0 else end
                end += 1
            out.append("=")
            i = end + 1
        elif c == "#" and (i == 0 or text[i - 1] in " \t\n;|&("):
            while i < n and text[i] != "\n":
                i += 1
        elif c == "<" and HEREDOC.match(text, i) and not text.startswith("<<<", i):
            match = HEREDOC.match(text, i)
            pending.append(match.group(2))
            out.append(" ")
            i = match.end()
        elif c == "\n" and pending:
            out.append("\n")
            i += 1
            while pending and i < n:  # each body in turn, up to its delimiter line
                end = text.find("\n", i)
                end = n if end < 0 else end
                if text[i:end].strip() == pending[0]:
                    pending.pop(0)
                out.append("\n")
                i = end + 1
        else:
            out.append(c)
            i += 1
    return "".join(out)


def called_commands(text, builtins):
    """The words in command position of a shell script: those on PATH, less its functions."""
    code = code_only(text)
    functions = set(re.findall(r"^\s*(?:function\s+)?([A-Za-z_][A-Za-z0-9_-]*)\s*\(\)", code, re.M))
    words = set()
    for line in code.splitlines():
        starts = [0] + [m.end() for m in SEPARATOR.finditer(line)]
        for start in starts:
            # Assignments before the command; one whose value opens a $( is none (the
            # command substitution's own start is a separator).
            match = re.match(r"\s*((?:[A-Za-z_][A-Za-z0-9_]*=(?:[^\s$]|\$(?!\())*\s+)*)"
                             r"([^\s;&|(){}]+)(\)?)", line[start:])
            # A word right before ")" is a case pattern, not a command.
            if match and not match.group(3) and WORD.fullmatch(match.group(2)):
                words.add(match.group(2))
    return {w for w in words - functions - builtins if shutil.which(w)}


def script_files(root):
    listed = subprocess.run(["git", "-C", root, "ls-files", "--cached", "--others",
                             "--exclude-standard"], capture_output=True, text=True).stdout
    names = [n for n in listed.splitlines()
             if (n.endswith(".sh") or n in SHELL_SCRIPTS) and n not in NOT_AUDITED]
    return [os.path.join(root, n) for n in names if os.path.isfile(os.path.join(root, n))]


def package_table(rows):
    package_of = {}
    for row in rows:
        package, _, commands = row.partition(":")
        for command in commands.split():
            package_of[command] = package.strip()
    return package_of


def audit(targets, package_of):
    builtins = set(subprocess.run(["bash", "-c", "compgen -bk"], capture_output=True,
                                  text=True).stdout.split())
    paths = []
    for target in targets:
        if os.path.isdir(target):
            paths += [(p, os.path.relpath(p, target)) for p in script_files(target)]
        else:
            paths.append((target, target))
    problems = []
    for path, name in paths:
        with open(path, encoding="utf-8", errors="replace") as f:
            text = f.read()
        for command in sorted(called_commands(text, builtins) - package_of.keys()):
            problems.append(f"{name} calls {command}, which no package in tools/common.sh's "
                            f"COMMANDS provides")
    return problems


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


def link(bin_dir, package_of):
    paths = {c: candidates(c) for c in package_of}
    all_paths = {p for ps in paths.values() for p in ps}
    all_paths |= {os.path.realpath(p) for p in all_paths}
    owner = owners(sorted(all_paths)) if all_paths else {}
    installed = subprocess.run(["dpkg-query", "-W", "-f", "${Package} ${Status}\n"],
                               capture_output=True, text=True).stdout
    installed = {l.split()[0] for l in installed.splitlines() if l.endswith("install ok installed")}

    os.makedirs(bin_dir, exist_ok=True)
    problems = []
    for command, package in sorted(package_of.items()):
        chosen = next((p for p in paths[command]
                       if package in (owner.get(p), owner.get(os.path.realpath(p)))), None)
        if chosen:
            target = os.path.join(bin_dir, command)
            if os.path.realpath(target) != os.path.realpath(chosen):
                if os.path.lexists(target):
                    os.remove(target)
                os.symlink(chosen, target)
        elif package not in installed:
            problems.append(f"{command}: its package {package} is not installed")
        else:
            found = ", ".join(f"{p} ({owner.get(os.path.realpath(p), 'no package')})"
                              for p in paths[command]) or "nothing on the PATH"
            problems.append(f"{command}: not found as a file of {package}; found {found}")
    return problems


def main():
    mode, args = sys.argv[1], sys.argv[2:]
    if mode == "link":
        problems = link(args[0], package_table(args[1:]))
    elif mode == "audit" and "--" in args:
        split = args.index("--")
        problems = audit(args[:split], package_table(args[split + 1:]))
    else:
        sys.exit(__doc__)
    for problem in problems:
        print(f"check_commands: {problem}", file=sys.stderr)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())

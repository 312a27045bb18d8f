#!/usr/bin/env bash
# tools/deps/build.sh's archives, from a machine's apt lists in either format: debootstrap's and
# the installer's one-line sources.list (options, a CD-ROM, comments, several suites) and deb822
# .sources (several URIs and suites, an embedded key, a disabled stanza); nothing is an error.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
etc=$(mktemp -d)
trap 'rm -rf "$etc"' EXIT
mkdir "$etc/sources.list.d"
cat >"$etc/sources.list" <<'LIST'
# deb http://commented.example/debian bookworm main
deb cdrom:[Debian GNU/Linux 12.5.0 _Bookworm_ - Official amd64 DVD Binary-1]/ bookworm contrib main
deb http://deb.debian.org/debian bookworm main non-free-firmware
deb [ arch=amd64 signed-by=/usr/share/keyrings/debian-archive-keyring.gpg ] http://security.debian.org/debian-security bookworm-security main
deb-src http://deb.debian.org/debian bookworm main
LIST
cat >"$etc/sources.list.d/more.sources" <<'SOURCES'
Types: deb deb-src
URIs: http://one.example/debian http://two.example/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By:
 -----BEGIN PGP PUBLIC KEY BLOCK-----
 .
 mQINBGPL
 -----END PGP PUBLIC KEY BLOCK-----

Types: deb
URIs: http://off.example/debian
Suites: bookworm
Components: main
Enabled: no
SOURCES
expected='deb-src http://deb.debian.org/debian bookworm main non-free-firmware
deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://security.debian.org/debian-security bookworm-security main
deb-src http://one.example/debian bookworm main
deb-src http://one.example/debian bookworm-updates main
deb-src http://two.example/debian bookworm main
deb-src http://two.example/debian bookworm-updates main'
got=$(bash "$root/tools/deps/build.sh" --source-list "$etc" 2>"$etc/said")
[ "$got" == "$expected" ] || { printf 'FAILED: the list:\n%s\n' "$got"; exit 1; }
grep -q "^Debian's sources from $etc/sources.list:" "$etc/said" || { echo "FAILED: not said"; exit 1; }
rm "$etc/sources.list" "$etc/sources.list.d/more.sources"
! bash "$root/tools/deps/build.sh" --source-list "$etc" 2>/dev/null || { echo "FAILED: no archive"; exit 1; }

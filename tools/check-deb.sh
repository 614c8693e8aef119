#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Checks the Debian package that make deb built: its control fields, every
# file at its path with its mode, lintian without errors, the AppStream
# metainfo, the desktop entry, man pages that render without warnings and say
# what --help says, the bash completion against --help, and the packaged
# converter on the example log.
# Usage: tools/check-deb.sh tarnimex_<version>_<arch>.deb
set -euo pipefail
deb=$(realpath "$1")
source_dir=$(realpath "$(dirname "$0")/..")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

root=$work/root
dpkg-deb -x "$deb" "$root"
convert=$root/usr/bin/tarnimex-convert

# Control fields.
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = tarnimex ] || fail "Package is \"$(field Package)\""
[ "$(field Section)" = science ] || fail "Section is \"$(field Section)\""
[ "$(field Priority)" = optional ] || fail "Priority is \"$(field Priority)\""
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
[ "$(field Version)" = "$("$convert" --version | cut -d' ' -f2)" ] ||
    fail "Version $(field Version) is not the converter's"
# dpkg-shlibdeps named the libraries linked, Qt's among them.
depends=$(field Depends | tr ',' '\n' | awk '{print $1}')
for library in libc6 libstdc++6 libqt6widgets6 libqt6charts6 zlib1g qt6-qpa-plugins; do
    grep -qxF "$library" <<<"$depends" || fail "Depends lacks $library: $(field Depends)"
done
[ "$(field Description | wc -l)" -gt 3 ] || fail "no long description"

# Every file, with its mode and owner, and nothing else; every folder rwxr-xr-x.
expected="-rwxr-xr-x root/root ./usr/bin/tarnimex
-rwxr-xr-x root/root ./usr/bin/tarnimex-convert
-rwxr-xr-x root/root ./usr/bin/tarnimex-monitor
-rwxr-xr-x root/root ./usr/libexec/tarnimex/tarnimex-convert-reports
-rw-r--r-- root/root ./usr/share/applications/tarnimex.desktop
-rw-r--r-- root/root ./usr/share/bash-completion/completions/tarnimex-convert
-rw-r--r-- root/root ./usr/share/bash-completion/completions/tarnimex-monitor
-rw-r--r-- root/root ./usr/share/doc/tarnimex/README.md
-rw-r--r-- root/root ./usr/share/doc/tarnimex/changelog.gz
-rw-r--r-- root/root ./usr/share/doc/tarnimex/copyright
-rw-r--r-- root/root ./usr/share/icons/hicolor/64x64/apps/tarnimex.png
-rw-r--r-- root/root ./usr/share/icons/hicolor/scalable/apps/tarnimex.svg
-rw-r--r-- root/root ./usr/share/man/man1/tarnimex-convert.1.gz
-rw-r--r-- root/root ./usr/share/man/man1/tarnimex-monitor.1.gz
-rw-r--r-- root/root ./usr/share/man/man1/tarnimex.1.gz
-rw-r--r-- root/root ./usr/share/metainfo/io.github.tarnimex.tarnimex.metainfo.xml"
listing=$(dpkg-deb -c "$deb")
files=$(awk '$1 !~ /^d/ {print $1, $2, $6}' <<<"$listing" | sort -k3)
[ "$files" = "$expected" ] || fail "the files differ:
$(diff <(echo "$expected") <(echo "$files") || true)"
odd_folders=$(awk '$1 ~ /^d/ && ($1 != "drwxr-xr-x" || $2 != "root/root")' <<<"$listing")
[ -z "$odd_folders" ] || fail "folders not root's rwxr-xr-x:
$odd_folders"

# Lint: no lintian error; its warnings and notes are shown.
if ! lintian --fail-on error --display-info "$deb" >"$work/lintian" 2>&1; then
    fail "lintian:"
fi
cat "$work/lintian"
appstreamcli validate --no-net "$root"/usr/share/metainfo/*.metainfo.xml >"$work/appstream" 2>&1 ||
    fail "appstreamcli validate: $(cat "$work/appstream")"
metainfo_version=$(grep -o '<release version="[^"]*"' "$root"/usr/share/metainfo/*.xml | head -1 | cut -d'"' -f2)
[ "$metainfo_version" = "$(field Version)" ] || fail "the metainfo's release is $metainfo_version"
desktop-file-validate "$root/usr/share/applications/tarnimex.desktop" || fail "desktop-file-validate"

# The options --help lists: the words before each option line's description.
help_options() {
    "$1" --help | grep -E '^  --' | sed -E 's/^  (([^ ]| [^ ])*).*/\1/' | grep -oE -- '--[a-z][a-z-]*' | sort -u
}

# Man pages: no warning from man, and every option of --help in the page.
for program in tarnimex tarnimex-convert tarnimex-monitor; do
    page=$root/usr/share/man/man1/$program.1.gz
    warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "man $program: $warnings"
    text=$(LC_ALL=C.UTF-8 MANWIDTH=200 man -l "$page" 2>/dev/null)
    for option in $(help_options "$root/usr/bin/$program"); do
        grep -q -- "$option" <<<"$text" || fail "man $program lacks $option"
    done
done

# Bash completion: what it offers for the words typed so far (the last one
# being completed), run in the folder given, to the program $completing.
completing=tarnimex-convert
complete_words() {
    (
        cd "$1" && shift
        # shellcheck disable=SC1091
        source /usr/share/bash-completion/bash_completion
        # shellcheck disable=SC1091
        source "$root/usr/share/bash-completion/completions/$completing"
        COMP_WORDS=("$completing" "$@")
        COMP_CWORD=$#
        COMP_LINE="${COMP_WORDS[*]}"
        COMP_POINT=${#COMP_LINE}
        "_${completing//-/_}" "$completing" "${COMP_WORDS[-1]}" "${COMP_WORDS[-2]}"
        [ ${#COMPREPLY[@]} -eq 0 ] || printf '%s\n' "${COMPREPLY[@]}" | sort
    )
}
completed=$(complete_words "$work" -- | sed 's/=$//' | sort -u)
listed=$(help_options "$convert")
[ "$completed" = "$listed" ] || fail "the completed options are not those of --help:
$(diff <(echo "$listed") <(echo "$completed") || true)"
expect_completion() {
    local want=$1
    shift
    local got
    got=$(complete_words "$work/files" "$@" | tr '\n' ' ')
    [ "$got" = "$want" ] || fail "completing $completing $*: \"$got\", not \"$want\""
}
mkdir -p "$work/files/logs"
touch "$work/files/rx.nmea" "$work/files/site.ini"
expect_completion "0 1 2 3 auto " --decimals ''
expect_completion "dmy mdy ymd " --date-order ''
expect_completion "json text " --summary=''
expect_completion "logs site.ini " --settings ''
expect_completion "logs " --output-dir ''
expect_completion "logs rx.nmea site.ini " --limit ''
expect_completion "" --key ''
expect_completion "logs rx.nmea site.ini " --summary ''
completing=tarnimex-monitor
completed=$(complete_words "$work" -- | sort -u)
listed=$(help_options "$root/usr/bin/tarnimex-monitor")
[ "$completed" = "$listed" ] || fail "the monitor's completed options are not those of --help:
$(diff <(echo "$listed") <(echo "$completed") || true)"
expect_completion "hour " --rotate h
expect_completion "serial: " ser

# The packaged converter converts the example log.
cp "$source_dir/examples/receiver-delay.nmea" "$work/"
status=$("$convert" "$work/receiver-delay.nmea" | tail -1)
[ "$status" = "Completed:  Max=64Sec.  Min=0.11Sec.  Output=15/46Lines" ] ||
    fail "the example log gave \"$status\""

if [ "$failures" -gt 0 ]; then
    echo "$(basename "$deb"): $failures checks failed"
    exit 1
fi
echo "$(basename "$deb"): contents, lint, man pages and completion checked"

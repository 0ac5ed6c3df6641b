#!/bin/sh
# Writes the package's Debian changelog, compressed as Debian wants it, from CHANGELOG.md.
#
#   make-changelog.sh CHANGELOG.md "Name <address>" OUT.gz
#
# A release is a line "## VERSION - YYYY-MM-DD" followed by "- " items, whose
# continuation lines are indented by two spaces.
set -eu
changelog=$1 maintainer=$2 out=$3

awk -v maintainer="$maintainer" '
function close_release() {
    if (open) printf "\n -- %s  %s\n", maintainer, stamp
    open = 0
}
/^## / {
    close_release()
    if ($3 != "-" || $4 !~ /^[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9]$/) {
        print "make-changelog: bad release line: " $0 > "/dev/stderr"; failed = 1; exit 1
    }
    command = "date -u -R -d " $4
    stamp = ""
    command | getline stamp
    close(command)
    if (stamp == "") { failed = 1; exit 1 }
    printf "%splatformer (%s) unstable; urgency=medium\n\n", (releases++ ? "\n" : ""), $2
    open = 1
    next
}
open && /^- / { print "  * " substr($0, 3); next }
open && /^  [^ ]/ { print "    " substr($0, 3); next }
END {
    if (failed) exit 1
    close_release()
    if (!releases) { print "make-changelog: no release in the changelog" > "/dev/stderr"; exit 1 }
}' "$changelog" >"$out.tmp"
gzip -9n <"$out.tmp" >"$out"
rm -f "$out.tmp"

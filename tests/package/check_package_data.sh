#!/usr/bin/env bash
# The files installed beside the program: the AppStream metadata and the
# desktop file validate, the manual page renders without a warning, and the
# manual page, the bash, zsh and fish completions, the metadata and the program's own
# --help agree with each other and with the project's version.
#
#   check_package_data.sh SOURCE_DIR VERSION PROGRAM
set -uo pipefail
src=$1 version=$2 program=$3
data=$src/data
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

out=$(appstreamcli validate --no-net "$data"/*.metainfo.xml 2>&1) || fail "appstreamcli: $out"
out=$(desktop-file-validate "$data/quarrelby.desktop" 2>&1) && [ -z "$out" ] ||
  fail "desktop-file-validate: $out"
out=$(groff -man -ww -z "$data/quarrelby.1" 2>&1) && [ -z "$out" ] || fail "groff: $out"

grep -q "<launchable type=\"desktop-id\">quarrelby.desktop</launchable>" "$data"/*.metainfo.xml ||
  fail "the metadata does not launch quarrelby.desktop"
grep -q "<release version=\"$version\"" "$data"/*.metainfo.xml || fail "no release $version in the metadata"
grep -q "^\.TH QUARRELBY 1 .*\"Quarrelby $version\"" "$data/quarrelby.1" || fail "the manual page is not of $version"

# What bash offers after COMP_LINE (a trailing space starts a new word).
complete_line() {
  (
    cd "$src/samples" || exit 1
    source /usr/share/bash-completion/bash_completion
    source "$data/completion/quarrelby"
    COMP_LINE=$1 COMP_POINT=${#1}
    read -ra COMP_WORDS <<<"$1"
    [[ $1 == *' ' ]] && COMP_WORDS+=('')
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    _comp_quarrelby quarrelby "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
    printf '%s\n' "${COMPREPLY[@]}" | sort | xargs
  )
}
expect() {
  local got
  got=$(complete_line "$1")
  [ "$got" = "$2" ] || fail "completion of '$1': '$got', expected '$2'"
}
expect 'quarrelby --export ' 'csv google-csv outlook-csv text vcard vcard4 xlsx'
expect 'quarrelby --export vc' 'vcard vcard4'
expect 'quarrelby --export x' 'xlsx'
expect 'quarrelby --books --book cont' 'contacts'
expect 'quarrelby --export csv -o sk' 'skin'
expect 'quarrelby --export csv --output=sk' 'skin'
expect 'quarrelby --export csv -o -' '-'
expect 'quarrelby --version ' ''

# Every option the program accepts is described in the manual page and
# completed, and no other. --help needs no display.
documented=$(sed -n '/^\.SH OPTIONS/,/^\.SH /p' "$data/quarrelby.1" | awk 'tag { print } { tag = /^\.TP/ }' |
  grep -o '\\-\(\\-\)\?[a-z]\+\(\\-[a-z]\+\)*' | tr -d '\\' | sort | xargs)
help=$(env -u DISPLAY -u WAYLAND_DISPLAY "$program" --help) || fail "quarrelby --help failed"
accepted=$(awk -F '  +' '/^  -/ { print $2 }' <<<"$help" | grep -oE -- '--?[a-z]+(-[a-z]+)*' | sort | xargs)
[ -n "$accepted" ] || fail "no option in quarrelby --help: $help"
[ "$accepted" = "$documented" ] || fail "quarrelby --help offers '$accepted', the manual page '$documented'"
expect 'quarrelby -' "$accepted"

# zsh and fish offer the same options (read from their files: neither shell
# is needed for the build).
zsh=$(grep "^  '" "$data/completion/_quarrelby" | sed 's/\[.*//' | grep -oE -- "--?[a-z]+(-[a-z]+)*" | sort -u | xargs)
[ "$zsh" = "$accepted" ] || fail "the zsh completion offers '$zsh', quarrelby --help '$accepted'"
fish=$(grep -oE -- ' -[ls] [a-z-]+' "$data/completion/quarrelby.fish" |
  sed -E 's/ -l /--/; s/ -s /-/' | sort -u | xargs)
[ "$fish" = "$accepted" ] || fail "the fish completion offers '$fish', quarrelby --help '$accepted'"

[ $failures = 0 ] && echo "all checks passed"
exit $((failures > 0))

#!/bin/bash
# The bash completion, run the way bash runs it: COMP_WORDS and COMP_CWORD
# set, the function called, COMPREPLY read. The program it asks for names is
# the built one.
#
#   completion_test.sh <source dir> <build dir>
set -u
src=$1 build=$2
work=$(mktemp -d "${TMPDIR:-/tmp}/vossik-completion-test-XXXXXX")
trap 'rm -rf "$work"' EXIT INT TERM
PATH=$build:$PATH
mkdir -p "$work/bin" "$work/tree/subdir" "$work/tree/some dir"
touch "$work/tree/script.txt" "$work/tree/other"
ln -s "$build/vossik" "$work/bin/lac"
ln -s "$build/vossik" "$work/bin/set-attr"
cd "$work/tree" || exit 1
# shellcheck source=/dev/null
source "$src/contrib/bash-completion/vossik"

failures=0
# check "WORD..." "EXPECTED REPLIES": the last word is the one completed;
# replies are compared sorted, joined by '|'.
check() {
    local words=$1 expected=$2 actual
    eval "COMP_WORDS=($words)"
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMP_LINE=$words COMP_POINT=${#words}
    COMPREPLY=()
    _vossik
    actual=$(printf '%s\n' "${COMPREPLY[@]}" | LC_ALL=C sort | paste -sd'|' -)
    if [[ $actual != "$expected" ]]; then
        echo "FAIL: [$words] gives [$actual], expected [$expected]"
        failures=$((failures + 1))
    fi
}

# Command names by the program's abbreviation rules.
check "vossik lac" "list-access"
check "vossik listaccess" "list-access"
check "vossik la" "list-access|list-attribute"
check "vossik list-a" "list-access|list-attribute"
check "vossik edac" "edit-access"
check "vossik ec" "echo-text|exit-command"
check "vossik cd" "change-directory"
check "vossik pwd" "print-work-directory"
check "vossik l-" ""
check "vossik help-" "help"
check "vossik helpx" ""
# Global options before the command, with their values skipped.
check "vossik -v --st" "--style="
check "vossik --de" "--debug|--depth"
check "vossik --deb" "--debug"
check "vossik -S csv l" "list-access|list-attribute"
check "vossik -Scsv -r 2 -- ed" "edit-access"
check "vossik -r l" "list-access|list-attribute"
# Options after the command: the global ones and the command's own.
check "vossik lac --nu" "--no-update"
check "vossik lac --no" "--no-prefix|--no-update"
check "vossik edac --fi" "--file="
check "vossik lac --fi" ""
check "vossik get-attr --attr" "--attr-options="
# Values: style names, type letters, attr-options letters, script files.
check "vossik -S s" "samba|solaris|standard"
check "vossik lac --style = ic" "icacls"
check "vossik lac -Spr" "-Sprimos"
check "vossik -t dp" "dp|dpb|dpc|dpf|dpl|dps|dpw"
check "vossik set-attribute -X ''" "-|S|f|fS"
check "vossik edit-access -E scr" "script.txt"
check "vossik config sty" "style="
check "vossik config style = b" "brief"
# Arguments: paths, command names for help, nothing for an ACL text.
check "vossik -r lac s" "script.txt|some dir|subdir"
check "vossik lac -- --st" ""
check "vossik help li" "list-access|list-attribute"
check "vossik set-access o" ""
check "vossik set-access owner@:r o" "other"
check "vossik get-access A = scr" "script.txt"
# Multi-call links: the command is the link's name.
check "$work/bin/lac --st" "--style="
check "$work/bin/lac o" "other"
check "$work/bin/set-attr -X S" "S"

if ((failures)); then
    echo "$failures completion cases failed"
    exit 1
fi
echo "completion test passed"

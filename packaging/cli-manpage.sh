#!/usr/bin/env bash
# Writes the manual page of tresorin-cli from the tool's own help texts, so the two never drift:
#   cli-manpage.sh PATH/TO/tresorin-cli OUT.1
set -euo pipefail
cli=$1
out=$2
extra=$(mktemp)
trap 'rm -f "$extra"' EXIT

# The description is the tool's closing help paragraph; then one subsection per command, taken
# from "tresorin-cli COMMAND --help".
{
    echo "[=DESCRIPTION]"
    echo ".B tresorin-cli"
    echo "reads, writes and checks Tresorin documents (.pass files) without the window."
    echo ".PP"
    "$cli" --help | sed -n '/^Commands:/,$p' | sed '1,/^$/d' | sed -e 's/\\/\\e/g'
    echo "[COMMANDS]"
    "$cli" --help | sed -n '/^Commands:/,/^$/s/^  \([a-z][a-z-]*\) .*/\1/p' | while read -r command; do
        echo ".SS $command"
        echo ".nf"
        "$cli" "$command" --help | sed -e 's/\\/\\e/g' -e 's/^\./\\\&./' -e "s/^'/\\\\\\&'/"
        echo ".fi"
    done
    echo "[SEE ALSO]"
    echo ".BR tresorin (1)"
} >"$extra"

help2man --no-info --no-discard-stderr --section=1 \
    --name="command-line tool for Tresorin password documents" \
    --include="$extra" --output="$out" "$cli"

#!/usr/bin/env bash
# check_man_page.sh GROFF CLI PAGE
# Formats the manual page PAGE of classlingo-cli as man does (UTF-8 input through preconv) with
# every groff warning on, and fails on any warning, and on any command or option printed by
# `CLI --help` that the formatted page does not show.
set -uo pipefail
groff="$1" cli="$2" page="$3"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# -P-cbou: plain characters, without the overstriking that marks bold and underlined text.
"$groff" -k -man -Tutf8 -ww -P-cbou "$page" >"$work/page.txt" 2>"$work/warnings.txt"
status=$?
if [ $status -ne 0 ] || [ -s "$work/warnings.txt" ]; then
  echo "groff exited with $status and said:" >&2
  cat "$work/warnings.txt" >&2
  exit 1
fi

"$cli" --help >"$work/help.txt" || { echo "$cli --help failed" >&2; exit 1; }
# The commands (the word after the program's name on a usage line) and every option.
mapfile -t words < <(
  { sed -n 's/^ *classlingo-cli \([a-z][a-z-]*\).*/\1/p' "$work/help.txt"
    grep -o -- '--[a-z][a-z-]*' "$work/help.txt"; } | sort -u)
if [ ${#words[@]} -lt 5 ]; then
  echo "found only ${#words[@]} commands and options in the help: ${words[*]}" >&2
  exit 1
fi
missing=0
for w in "${words[@]}"; do
  if ! grep -q -F -e "$w" "$work/page.txt"; then
    echo "not in the manual page: $w" >&2
    missing=1
  fi
done
[ $missing -eq 0 ] && echo "${#words[@]} commands and options, all in the page; no groff warning"
exit $missing

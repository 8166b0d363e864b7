#!/bin/bash
# The manual pages: each renders without a warning from man, has the sections a manual page
# needs, and names every option (and for korvane-free every command) its program's --help lists.
# usage: ManPagesTest.sh BUILD-FOLDER
set -u
build=$1
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

if ! command -v man >/dev/null || ! command -v groff >/dev/null; then
  echo "SKIP: man and groff are not installed" >&2
  exit 0
fi

for program in korvane korvane-scan korvane-free; do
  page=$build/data/man/$program.1
  [ -s "$page" ] || { fail "no manual page $page"; continue; }

  # What lintian runs on a manual page: any warning counts.
  warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "$program.1: man warns: $warnings"

  # The page as a reader sees it, without hyphenation and on lines long enough not to break words.
  text=$(groff -man -Tascii -rHY=0 -rLL=250n -P-c "$page" 2>/dev/null | col -b)
  for section in NAME SYNOPSIS DESCRIPTION OPTIONS "EXIT STATUS" ENVIRONMENT FILES EXAMPLES "SEE ALSO"; do
    grep -qx "$section" <<<"$text" || fail "$program.1 has no $section section"
  done
  grep -q "^ *$program - " <<<"$text" || fail "$program.1: NAME does not start with \"$program - \""

  help=$("$build/app/$program" --help) || { fail "$program --help exits with an error"; continue; }
  # Options: -x and --long-name, and the report options' /NAME (before any ':').
  options=$(grep -oE '(^|[^A-Za-z0-9/:\\])(--?[a-z][a-z0-9-]*|/[A-Z]+)' <<<"$help" | sed -E 's/^[^-/]//' | sort -u)
  # korvane-free's commands: the words its help lists at the start of an indented line.
  if [ "$program" = korvane-free ]; then
    options+=$'\n'$(sed -nE 's/^  ([a-z][a-z-]*)( |$).*/\1/p' <<<"$help" | sort -u)
  fi
  [ -n "$options" ] || fail "no option found in $program --help"
  for option in $options; do
    # korvane's usage line names the report kind and its options by placeholders.
    case $option in /RKIND | /OPTION) continue ;; esac
    grep -qE -- "(^|[^A-Za-z0-9-])$option([^A-Za-z0-9-]|\$)" <<<"$text" ||
      fail "$program --help lists $option, which its manual page does not describe"
  done
done

[ "$failures" -eq 0 ] || exit 1
echo "manual pages: all checks pass"

#!/bin/bash
# The bash completion of the three programs, loaded as bash-completion loads it (by the command's
# name from the completions folder): each file defines its command's completion, and a table of
# command lines gives the words that Tab offers.
# usage: CompletionTest.sh COMPLETIONS-FOLDER
set -u
dir=$(cd "$1" && pwd) || exit 1
system=/usr/share/bash-completion/bash_completion
if [ ! -r "$system" ]; then
  echo "SKIP: bash-completion is not installed" >&2
  exit 0
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM
mkdir -p "$work/tree/alpha" "$work/tree/beta" "$work/tree/also file"
touch "$work/tree/notes.txt" "$work/tree/map.svg" "$work/tree/scan.json"
printf '%s\r\n' 'Windows Registry Editor Version 5.00' '' \
  '[HKEY_CURRENT_USER\Software\Morvell\Korvane 3\Drives]' '"D"="/mnt/data"' '"e"="/media/usb"' '' \
  '[HKEY_CURRENT_USER\Software\Morvell\Korvane 3\Settings]' '"X"="not a drive"' '' \
  '[HKEY_CURRENT_USER\Network\M]' '"RemotePath"="/srv/share"' >"$work/current-user.reg"

failures=0

# Each file, loaded on its own in a fresh shell, defines the completion of its command.
for program in korvane korvane-scan korvane-free; do
  [ -r "$dir/$program" ] || { echo "FAIL: no completion file $dir/$program"; failures=$((failures + 1)); continue; }
  function=_${program//-/_}
  got=$(bash --norc --noprofile -c ". '$system'; . '$dir/$program'; complete -p $program" 2>&1)
  if [ "$got" != "complete -F $function $program" ]; then
    echo "FAIL: complete -p $program after loading $dir/$program: $got"
    failures=$((failures + 1))
  fi
done

# check "ENVIRONMENT" "COMMAND LINE, the word under the cursor last" "EXPECTED WORDS, sorted, comma-separated"
check() {
  local environment=$1 line=$2 expected=$3 got
  got=$(cd "$work/tree" && env -i HOME="$work" PATH="$PATH" $environment bash --norc --noprofile -c '
    . "$1"; . "$2/korvane"
    compopt() { :; }  # only a real completion has options to set
    read -r -a COMP_WORDS <<<"$3"
    [[ $3 == *" " ]] && COMP_WORDS+=("")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMP_LINE=$3
    COMP_POINT=${#COMP_LINE}
    spec=$(complete -p "${COMP_WORDS[0]}")
    function=${spec#complete -F }
    ${function%% *} "${COMP_WORDS[0]}" "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
    printf "%s\n" "${COMPREPLY[@]}" | sort | paste -sd ","' _ "$system" "$dir" "$line")
  if [ "$got" != "$expected" ]; then
    echo "FAIL: [$environment] '$line': expected '$expected', got '$got'"
    failures=$((failures + 1))
  fi
}

drives='KORVANE_DRIVES=C=/;T=/tmp;x=/srv'
check "$drives" "korvane-free " "--help,--version,archive,archives,delete,delete-archive,empty-trash,move,restore,trash,trash-size"
check "$drives" "korvane-free e" "empty-trash"
check "$drives" "korvane-free delete --" "--yes"
check "$drives" "korvane-free archive --l" "--level"
check "$drives" "korvane-free archive --level " "0,1,2,3,4,5,6,7,8,9"
check "$drives" "korvane-free archive --drive " "C:,T:,X:"
check "$drives" "korvane-free trash-size " "C:,T:,X:"
check "$drives" "korvane-free empty-trash --yes T" "T:"
check "$drives" "korvane-free restore --to /tmp T: " ""
check "$drives" "korvane-free move " "alpha,also file,beta"
check "$drives" "korvane-free move alpha b" "beta"
check "$drives" "korvane-free move alpha beta " ""
check "$drives" "korvane-free trash n" "notes.txt"
check "$drives" "korvane /R" "/RCSV,/RINF,/RTAB,/RTXT"
check "$drives" "korvane --" "--help,--version"
check "$drives" "korvane " "/RCSV,/RINF,/RTAB,/RTXT,C:\\,T:\\,X:\\,alpha,also file,beta,scan.json"
check "$drives" "korvane /RCSV " "C:\\,T:\\,X:\\,alpha,also file,beta"
check "$drives" "korvane /RINF alpha " "PRINTER,alpha,also file,beta,map.svg,notes.txt,scan.json"
check "$drives" "korvane /RCSV alpha out.csv /S" "/S:,/SA:,/SD:"
check "$drives" "korvane /RCSV alpha out.csv /SD:" "1,2,3,4,5,6,7,8"
check "$drives" "korvane /RTXT alpha out.txt /HT:" "B:,K:,M:"
check "$drives" "korvane /RTXT alpha out.txt /W" "/W:F,/W:T"
check "$drives" "korvane-scan --t" "--treemap,--types"
check "$drives" "korvane-scan --treemap " "alpha,also file,beta,map.svg"
check "$drives" "korvane-scan --export-ncdu " "alpha,also file,beta,scan.json"
check "$drives" "korvane-scan --largest 20 " "alpha,also file,beta"
check "$drives" "korvane-scan -- " "alpha,also file,beta"
# Without KORVANE_DRIVES: C:, H: and the letters the settings remember.
check "KORVANE_REGISTRY_DIR=$work" "korvane-free trash-size " "C:,D:,E:,H:,M:"

[ "$failures" -eq 0 ] || exit 1
echo "completion: all cases pass"

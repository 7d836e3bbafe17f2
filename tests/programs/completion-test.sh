#!/usr/bin/env bash
# Drives kavelo-cli's bash completion as bash does on Tab and compares what it
# offers with what each command line expects. Usage: completion-test.sh FILE
set -u
source /usr/share/bash-completion/bash_completion
source "$1"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work" && touch car.spf all.wpf notes.txt

failures=0
# expect "COMMAND LINE (the last word is completed)" "EXPECTED WORDS, sorted"
expect() {
    local line="$1" want="$2"
    read -r -a COMP_WORDS <<<"$line"
    [[ $line == *" " ]] && COMP_WORDS+=("")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMP_LINE="$line"
    COMP_POINT=${#line}
    COMPREPLY=()
    _kavelo_cli kavelo-cli "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
    local got
    got="$(printf '%s\n' "${COMPREPLY[@]}" | sed '/^$/d' | sort | tr '\n' ' ' | sed 's/ $//')"
    if [[ $got != "$want" ]]; then
        echo "FAIL: '$line' offered '$got', expected '$want'"
        failures=$((failures + 1))
    fi
}

expect "kavelo-cli --d" "--demo --device"
expect "kavelo-cli sc" "scene"
expect "kavelo-cli --demo --timeout 500 d" "diff dump"
expect "kavelo-cli --timeout " ""
expect "kavelo-cli scene " "delete load save"
expect "kavelo-cli scene save 1" "1 10"
expect "kavelo-cli scene save 3 --" "--name"
expect "kavelo-cli scene load 3 --" ""
expect "kavelo-cli apply " "all.wpf car.spf"
expect "kavelo-cli eq export --format " "apo rew"
expect "kavelo-cli eq export --" "--channel --format"
expect "kavelo-cli eq import car.spf --channel " "1 2 3 4 5 6 7 8"
expect "kavelo-cli diff " "all.wpf amp car.spf"
expect "kavelo-cli fw " "check flash"
expect "kavelo-cli mem r" "read"
expect "kavelo-cli source 9" ""

if ((failures > 0)); then
    echo "$failures completion(s) wrong"
    exit 1
fi
echo "all completions as expected"

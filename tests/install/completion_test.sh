#!/usr/bin/env bash
# Drives planovix-cli's bash completion as bash does: COMP_WORDS and
# COMP_CWORD set, the completion function called, COMPREPLY checked.
#   completion_test.sh COMPLETION_FILE PLANOVIX_CLI MODELS_DIR
set -uo pipefail
completion=$(realpath "$1") cli=$(realpath "$2") models=$(realpath "$3")

# The tool as installed: bin/planovix-cli beside share/planovix/models.
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
mkdir -p "$root/bin" "$root/share/planovix" "$root/work/sub"
ln -s "$cli" "$root/bin/planovix-cli"
ln -s "$models" "$root/share/planovix/models"
cd "$root/work"
touch unit.DST other.dst sheet.pdf memory.dat run.csv notes.txt

# shellcheck source=/dev/null
source "$completion"
[[ $(complete -p planovix-cli) == *"-F _planovix_cli"* ]] || { echo "FAIL: no complete -F for planovix-cli"; exit 1; }

failures=0
# complete WORD... : the words of the line, the last one being completed.
complete_line() {
  COMP_WORDS=("$root/bin/planovix-cli" "$@")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMP_LINE="${COMP_WORDS[*]}"
  COMP_POINT=${#COMP_LINE}
  COMPREPLY=()
  _planovix_cli
  printf '%s\n' "${COMPREPLY[@]}" | sort
}
expect_has() {  # what, reply, wanted...
  local what=$1 reply=$2 w
  shift 2
  for w in "$@"; do
    if ! grep -qxF -- "$w" <<<"$reply"; then
      echo "FAIL: $what: \"$w\" not offered; got:"
      sed 's/^/    /' <<<"$reply"
      failures=$((failures + 1))
    fi
  done
}
expect_not() {
  local what=$1 reply=$2 w
  shift 2
  for w in "$@"; do
    if grep -qxF -- "$w" <<<"$reply"; then
      echo "FAIL: $what: \"$w\" offered"
      failures=$((failures + 1))
    fi
  done
}
expect_only() {
  local what=$1 reply=$2
  shift 2
  local want
  want=$(printf '%s\n' "$@" | sort)
  if [[ $reply != "$want" ]]; then
    echo "FAIL: $what: want [$*], got:"
    sed 's/^/    /' <<<"$reply"
    failures=$((failures + 1))
  fi
}

# Commands: the first word, from every section of the help.
r=$(complete_line "")
expect_has "commands" "$r" identify read-config write-config show-config cells switches measure \
  sheet eeprom peek poke diff restore history program calibrate verify-calibration \
  linearity-output supply meter-read
expect_not "commands" "$r" planovix-cli Usage A
expect_only "commands starting wr" "$(complete_line wr)" write-config

# Options, global and of the commands.
r=$(complete_line --)
expect_has "options" "$r" --port --yes --json --retries --label --help --version --changed-only --repeat --log --model
expect_only "options starting --j" "$(complete_line --j)" --json

# Ports.
r=$(complete_line --port "")
expect_has "ports" "$r" 'COM\ 1' 'COM\ 8'
[[ $(wc -l <<<"$r") -eq 8 ]] || { echo "FAIL: ports: want 8, got: $r"; failures=$((failures + 1)); }
expect_only "ports typed COM\\ 3" "$(complete_line --port 'COM\ 3')" 'COM\ 3'
expect_only "ports typed \"COM 5" "$(complete_line --port '"COM 5')" 'COM\ 5'

# Models, after --model and where a command takes a MODEL.
r=$(complete_line program unit.DST --model KRV22)
expect_has "models" "$r" KRV2210 KRV2211A KRV2212A KRV2220
expect_not "models" "$r" KRV2311A
r=$(complete_line calibrate "")
expect_has "calibrate MODEL" "$r" KRV2211A

# Files by the extension the command's argument names.
expect_only "read-config" "$(complete_line read-config "")" other.dst sub unit.DST
expect_only "write-config after --port" "$(complete_line --port 'COM\ 2' --yes write-config "")" other.dst sub unit.DST
expect_only "sheet" "$(complete_line sheet "")" sheet.pdf sub
expect_only "sheet's second argument" "$(complete_line sheet out.pdf "")" other.dst sub unit.DST
expect_only "eeprom subcommands" "$(complete_line eeprom "")" read verify write
expect_only "eeprom write" "$(complete_line eeprom write "")" memory.dat sub
expect_only "program --log" "$(complete_line program unit.DST --log "")" run.csv sub
expect_only "sheet --lang" "$(complete_line sheet out.pdf --lang "")" en it

if ((failures)); then
  echo "$failures failure(s)"
  exit 1
fi
echo "bash completion: every case offered what it should"

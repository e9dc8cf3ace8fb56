# Bash completion for tarvex: option names, files after the options that name a file, a
# directory after --frames, and the values of the options that have a fixed set.

_tarvex() {
  local cur=${COMP_WORDS[COMP_CWORD]} prev= joined= i
  ((COMP_CWORD > 0)) && prev=${COMP_WORDS[COMP_CWORD - 1]}
  COMPREPLY=()
  # Bash splits "--scale=2" at the "=", so the option stands one or two words back.
  if [[ $cur == = ]]; then
    cur= joined=1
  elif [[ $prev == = ]] && ((COMP_CWORD > 1)); then
    prev=${COMP_WORDS[COMP_CWORD - 2]} joined=1
  fi

  # After a lone "--" every word is the source.
  for ((i = 1; i < COMP_CWORD; i++)); do
    [[ ${COMP_WORDS[i]} == -- ]] && { _tarvex_files -f "$cur"; return; }
  done

  # --stats takes a value only as --stats=json; after a plain --stats comes anything.
  [[ $prev == --stats && ! $joined ]] && prev=
  case $prev in
  --trace | --gif | --screenshot) _tarvex_files -f "$cur"; return ;;
  --frames) _tarvex_files -d "$cur"; return ;;
  --scale) _tarvex_words '1 2 3 4' "$cur"; return ;;
  --stats) _tarvex_words json "$cur"; return ;;
  # Numbers with no fixed set: nothing to offer.
  --delay | --ticks | --max-pointers | --max-memory | --threads | --every | --break | --history) return ;;
  esac

  if [[ $cur == -* ]]; then
    _tarvex_words '--help --version --headless --dap --delay --ticks --max-pointers --max-memory --threads --no-prompt
      --batch --stats --trace --frames --every --gif --screenshot --scale --break
      --break-output --history' "$cur"
  else
    _tarvex_files -f "$cur"
  fi
}

# The words of $1 that start with $2.
_tarvex_words() {
  mapfile -t COMPREPLY < <(compgen -W "$1" -- "$2")
}

# Files (-f) or directories (-d) whose names start with $2, one a line so spaces survive.
_tarvex_files() {
  compopt -o filenames 2>/dev/null
  mapfile -t COMPREPLY < <(compgen "$1" -- "$2")
}

complete -F _tarvex tarvex

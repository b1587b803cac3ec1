# bash completion for tressel: subcommands, their options, the values of
# --mode, and files where a file is expected (meshes, scenes, scripts,
# modules). Needs nothing beyond bash itself.

_tressel_files() {  # _tressel_files CURRENT [GLOB]: files (matching GLOB) and folders
  local IFS=$'\n'
  if [ -n "$2" ]; then
    COMPREPLY=($(compgen -f -X "!$2" -- "$1") $(compgen -d -- "$1"))
  else
    COMPREPLY=($(compgen -f -- "$1"))
  fi
}

_tressel() {
  local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}
  local sub="" i
  for ((i = 1; i < COMP_CWORD; i++)); do
    case ${COMP_WORDS[i]} in
      --module) ((i++)) ;;
      -*) ;;
      *) sub=${COMP_WORDS[i]}; break ;;
    esac
  done
  COMPREPLY=()

  case $prev in
    --module) _tressel_files "$cur" '*.plm'; return ;;
    --mode) COMPREPLY=($(compgen -W '0 1 2 rings borders welded' -- "$cur")); return ;;
    --scene) _tressel_files "$cur" '*.json'; return ;;
    --preview) _tressel_files "$cur" '*.[ps][nv]g'; return ;;
    -o|--output|--script|--mesh) _tressel_files "$cur"; return ;;
    --push|--scale|--select|--frames|--monitor) return ;;  # a value of the user's own
  esac

  local options
  case $sub in
    "")
      if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W '--module --version --help' -- "$cur"))
      else
        COMPREPLY=($(compgen -W 'info describe wire settings validate' -- "$cur"))
      fi
      return ;;
    wire) options='-o --output --mode --push --scale --select --scene --frames --preview --each -q --quiet --json --help' ;;
    settings) options='--script -o --output --monitor --help' ;;
    validate) options='--module --mesh --verbose --json --help' ;;
    info|describe) options='--help' ;;
    *) return ;;
  esac
  if [[ $cur == -* ]]; then
    COMPREPLY=($(compgen -W "$options" -- "$cur"))
  elif [ "$sub" = wire ]; then
    _tressel_files "$cur"
  elif [ "$sub" = settings ]; then
    _tressel_files "$cur" '*.json'
  fi
}

complete -o filenames -F _tressel tressel

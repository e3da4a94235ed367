# bash completion for corvanepdf: commands, their options, file names, and
# the nicknames of the store's certificates (those with a key for --cert).
_corvanepdf_nicknames() {  # _corvanepdf_nicknames yes|all WORD
  local IFS=$'\n'
  COMPREPLY=($(compgen -W "$(corvanepdf certificates 2>/dev/null |
    awk -F'\t' -v want="$1" '$9 != "-" && (want == "all" || $7 == "yes") { print $9 }')" -- "$2"))
}

_corvanepdf() {
  local cur prev command i
  COMPREPLY=()
  cur=${COMP_WORDS[COMP_CWORD]}
  prev=${COMP_WORDS[COMP_CWORD-1]}
  local commands="sign verify timestamp fields certificates import trust settings choose-certificate sign-text time string2byte register unregister"

  command=
  for ((i = 1; i < COMP_CWORD; i++)); do
    case ${COMP_WORDS[i]} in
      -*) ;;
      *) command=${COMP_WORDS[i]}; break ;;
    esac
  done

  if [[ -z $command ]]; then
    COMPREPLY=($(compgen -W "$commands --version --help" -- "$cur"))
    return
  fi

  local options=
  case $command in
    sign)
      case $prev in
        -o | --output) COMPREPLY=($(compgen -f -X '!*.[pP][dD][fF]' -- "$cur") $(compgen -d -- "$cur")); return ;;
        --out-dir) COMPREPLY=($(compgen -d -- "$cur")); return ;;
        --cert) _corvanepdf_nicknames yes "$cur"; return ;;
        -j | --jobs | --password | --user | --reason | --tsa | --field) return ;;
        --certify) COMPREPLY=($(compgen -W "0 1 2 3" -- "$cur")); return ;;
      esac
      options="-o --output --out-dir -j --jobs --password --user --reason --cert --append --rebuild --field --certify --pades --tsa --ltv -v --verbose -q --quiet --help" ;;
    verify)
      [[ $prev == --password ]] && return
      [[ $prev == --trust ]] && { COMPREPLY=($(compgen -f -- "$cur")); return; }
      [[ $prev == --permit ]] && { COMPREPLY=($(compgen -W "form-filling annotations" -- "$cur")); return; }
      options="--password --json --permit --trust --trust-system --help" ;;
    timestamp)
      case $prev in
        -o | --output) COMPREPLY=($(compgen -f -X '!*.[pP][dD][fF]' -- "$cur") $(compgen -d -- "$cur")); return ;;
        --password | --tsa) return ;;
      esac
      options="-o --output --tsa --password -v --verbose -q --quiet --help" ;;
    fields)
      if [[ ${COMP_WORDS[i+1]} == add ]] && ((COMP_CWORD > i + 1)); then
        case $prev in
          -o | --output) COMPREPLY=($(compgen -f -X '!*.[pP][dD][fF]' -- "$cur") $(compgen -d -- "$cur")); return ;;
          --lock) COMPREPLY=($(compgen -W "all" -- "$cur")); return ;;
          --password | --name | --page | --rect) return ;;
        esac
        options="-o --output --password --name --page --rect --lock -q --quiet --help"
      else
        [[ $prev == --password ]] && return
        options="--password --json --help"
        ((COMP_CWORD == i + 1)) && [[ $cur != -* ]] && COMPREPLY=($(compgen -W "add" -- "$cur"))
      fi ;;
    certificates) options="--json --help" ;;
    import)
      [[ $prev == --password-file ]] && { COMPREPLY=($(compgen -f -- "$cur")); return; }
      options="--password-file --select --trust-ca --help" ;;
    trust)
      if [[ $cur != -* ]]; then
        _corvanepdf_nicknames all "$cur"
        COMPREPLY+=($(compgen -f -X '!*.@(pem|crt|cer|der)' -- "$cur") $(compgen -d -- "$cur"))
        return
      fi
      options="--help" ;;
    settings)
      local sub=${COMP_WORDS[i+1]}
      if ((COMP_CWORD == i + 1)); then
        COMPREPLY=($(compgen -W "list get set --help" -- "$cur"))
        return
      fi
      case $sub in
        get | set)
          if ((COMP_CWORD == i + 2)); then
            COMPREPLY=($(compgen -W "UniqueContainerName reason signtext signaturetext px1 py1 px2 py2 dontencrypt appendmode lastcertfallback pades tsaurl tsauser tsatimeout ltv ltvmaxage certifylevel path debug machinewideselection" -- "$cur"))
            return
          fi
          if ((COMP_CWORD == i + 3)) && [[ $sub == set && ${COMP_WORDS[i+2]} == UniqueContainerName ]]; then
            _corvanepdf_nicknames yes "$cur"
            return
          fi
          options="--machine --help"
          [[ $sub == set ]] && options="--dword $options" ;;
      esac
      COMPREPLY=($(compgen -W "$options" -- "$cur"))
      return ;;
    *) options="--help" ;;
  esac

  if [[ $cur == -* ]]; then
    COMPREPLY=($(compgen -W "$options" -- "$cur"))
  elif [[ $command == sign || $command == verify || $command == timestamp || $command == fields ]]; then
    COMPREPLY+=($(compgen -f -X '!*.[pP][dD][fF]' -- "$cur") $(compgen -d -- "$cur"))
  elif [[ $command == import ]]; then
    COMPREPLY=($(compgen -f -X '!*.[pP]12' -- "$cur") $(compgen -f -X '!*.[pP][fF][xX]' -- "$cur")
      $(compgen -d -- "$cur"))
  fi
}
complete -o filenames -F _corvanepdf corvanepdf

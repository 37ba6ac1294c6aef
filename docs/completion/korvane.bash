# bash completion for korvane: commands, their options, and the values
# that options take.
_korvane()
{
    local cur prev words cword
    _init_completion 2>/dev/null || {
        cur=${COMP_WORDS[COMP_CWORD]}
        prev=${COMP_WORDS[COMP_CWORD-1]}
        cword=$COMP_CWORD
    }
    if [[ $cword -eq 1 ]]; then
        COMPREPLY=($(compgen -W "verify compare check checksum describe demo help --help --version" -- "$cur"))
        return
    fi
    local command=${COMP_WORDS[1]}
    case $prev in
        --on-error) COMPREPLY=($(compgen -W "ask continue skip fail abort" -- "$cur")); return ;;
        --root) COMPREPLY=($(compgen -d -- "$cur")); return ;;
        --folder|--out) COMPREPLY=($(compgen -d -- "$cur")); return ;;
        --xml|--events|--events-raw|--log) COMPREPLY=($(compgen -f -- "$cur")); return ;;
        --drive|--number|--target|--map) return ;;
    esac
    local options
    case $command in
        verify) options="--drive --number --folder --xml --on-error --quiet --status --events --events-raw --log --map --help" ;;
        compare) options="--ignore-case --on-error --quiet --status --events --events-raw --log --help" ;;
        check) options="--root --quiet --status --events --help" ;;
        describe) options="--number --out --target --force --sums --map --help" ;;
        demo) options="--drive --keep --events --events-raw --log --help" ;;
        checksum) options="--help" ;;
        help) COMPREPLY=($(compgen -W "verify compare check checksum describe demo" -- "$cur")); return ;;
    esac
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
    else
        COMPREPLY=($(compgen -f -- "$cur"))
    fi
}
complete -o filenames -F _korvane korvane

# bash completion for varno: its commands, each command's options, the method names of -m, the
# radii of -r, and picture files where a file is expected.
_varno() {
    local cur prev words cword
    if declare -F _init_completion >/dev/null; then
        _init_completion || return
    else
        cur=${COMP_WORDS[COMP_CWORD]}
        prev=${COMP_WORDS[COMP_CWORD-1]}
        cword=$COMP_CWORD
        words=("${COMP_WORDS[@]}")
    fi

    if [[ $cword -eq 1 ]]; then
        mapfile -t COMPREPLY < <(compgen -W 'select edges sample --help --version' -- "$cur")
        return
    fi

    case $prev in
        -m)
            mapfile -t COMPREPLY < <(compgen -W 'traditional skinny smoother fine variable 3 4 5 6 7' -- "$cur")
            return ;;
        -r)
            mapfile -t COMPREPLY < <(compgen -W '1 2 3' -- "$cur")
            return ;;
        -j | --seed | --size)
            return ;;
        --format)
            mapfile -t COMPREPLY < <(compgen -W 'png tiff bmp jpeg' -- "$cur")
            return ;;
        -o | --selection | --play | --record)
            mapfile -t COMPREPLY < <(compgen -f -- "$cur")
            compopt -o filenames 2>/dev/null
            return ;;
    esac

    local options
    case ${words[1]} in
        select) options='-o -m -r -j --selection --dialog --play --record --format --smaller-png --quiet --' ;;
        edges) options='-o -m -r --format --smaller-png --quiet --' ;;
        sample) options='--size --seed' ;;
        *) return ;;
    esac
    if [[ $cur == -* ]]; then
        mapfile -t COMPREPLY < <(compgen -W "$options" -- "$cur")
    else
        local name
        COMPREPLY=()
        while IFS= read -r name; do
            [[ -d $name || ${name,,} =~ \.(png|jpe?g|bmp|tiff?)$ ]] && COMPREPLY+=("$name")
        done < <(compgen -f -- "$cur")
        compopt -o filenames 2>/dev/null
    fi
} && complete -F _varno varno

# bash completion for varno: its commands, each command's options, the method names of -m (short
# names, numbers and the dialog's names), the radii of -r, the modes of --combine, and picture
# files where a file is expected.
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
            local IFS=$'\n' name
            COMPREPLY=()
            while IFS= read -r name; do
                COMPREPLY+=("$(printf '%q' "$name")")
            done < <(compgen -W $'traditional\nskinny\nsmoother\nfine\nvariable\n3\n4\n5\n6\n7\nTraditional\nSkinny lines\nSmoother\nFine detail\nVariable width' -- "$cur")
            return ;;
        --combine)
            mapfile -t COMPREPLY < <(compgen -W 'replace add subtract intersect' -- "$cur")
            return ;;
        -r)
            mapfile -t COMPREPLY < <(compgen -W '1 2 3' -- "$cur")
            return ;;
        -j | --seed | --size | --threads)
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
        select) options='-o -m -r -j --selection --combine --dialog --play --record --format --threads --smaller-png --quiet --help --' ;;
        edges) options='-o -m -r --format --threads --smaller-png --quiet --help --' ;;
        sample) options='--size --seed --help' ;;
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

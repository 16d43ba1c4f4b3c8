# bash completion for norvex: subcommands, each one's options, and files for the rest.
_norvex() {
    local word=${COMP_WORDS[COMP_CWORD]} previous=${COMP_WORDS[COMP_CWORD-1]}
    local subcommand="" k
    for ((k = 1; k < COMP_CWORD; k++)); do
        case ${COMP_WORDS[k]} in
        -*) ;;
        *) subcommand=${COMP_WORDS[k]}; break ;;
        esac
    done
    local options
    case $subcommand in
    "") options="diff show apply merge merge-driver git-diff check --help --version --quiet --no-progress" ;;
    diff) options="-o --output --attributes --properties --dtdata --all --view --stat --rules-only
        --color --word-diff -q --brief --quiet --no-progress --label --html --help" ;;
    show) options="--sort --find --partial --side --help" ;;
    apply) options="-o --output --force -q --quiet --no-progress --help" ;;
    merge) options="-o --output --attributes --properties --dtdata --all --accept-unmerged -q
        --quiet --no-progress --html --help" ;;
    merge-driver) options="--accept-unmerged --help" ;;
    check) options="--tree --allow-conflicts --help" ;;
    *) options="--help" ;;
    esac
    case $previous in
    --color | --word-diff) COMPREPLY=($(compgen -W "auto always never" -- "$word")); return ;;
    --sort) COMPREPLY=($(compgen -W "first second file" -- "$word")); return ;;
    --side) COMPREPLY=($(compgen -W "1 2" -- "$word")); return ;;
    esac
    if [[ -z $subcommand || $word == -* ]]; then
        COMPREPLY=($(compgen -W "$options" -- "$word"))
    else
        COMPREPLY=($(compgen -f -- "$word"))
    fi
}
complete -o filenames -F _norvex norvex

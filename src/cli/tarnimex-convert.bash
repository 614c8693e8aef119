# SPDX-License-Identifier: GPL-3.0-or-later
# bash completion for tarnimex-convert: its options, the values of those that
# take a few, and files (logs, folders of logs) elsewhere.
# The words offered hold no blanks, so compgen's output is split as it stands.
# shellcheck disable=SC2207
_tarnimex_convert() {
    local cur prev words cword split
    _init_completion -s || return

    case $prev in
        --decimals)
            COMPREPLY=($(compgen -W 'auto 0 1 2 3' -- "$cur"))
            return ;;
        --date-order)
            COMPREPLY=($(compgen -W 'ymd mdy dmy' -- "$cur"))
            return ;;
        --summary)
            # Only --summary=FORMAT takes a value; "--summary LOG" converts LOG.
            if $split; then
                COMPREPLY=($(compgen -W 'text json' -- "$cur"))
                return
            fi ;;
        --settings)
            _filedir ini
            return ;;
        --limits)
            _filedir
            return ;;
        --output-dir | --report)
            _filedir -d
            return ;;
        --output)
            _filedir
            return ;;
        --jobs)
            COMPREPLY=($(compgen -W "$(seq 1 "$(_ncpus)")" -- "$cur"))
            return ;;
        --key | --second-key | --threshold | --max-step | --alarm-step | \
        --alarm-symbol | --date-sep | --time-sep | --decimal-sep | --include)
            return ;;
    esac
    $split && return

    local word
    for word in "${words[@]:1:cword-1}"; do
        [[ $word == -- ]] && { _filedir; return; }
    done
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W '--recursive --include --output-dir --output --jobs
            --key --second-key --decimals --limit --threshold --max-step
            --alarm-step --alarm-symbol --settings --limits --report --date-order --date-sep
            --time-sep --decimal-sep --quiet --summary --summary= --help
            --version' -- "$cur"))
        [[ ${COMPREPLY-} == *= ]] && compopt -o nospace
        return
    fi
    _filedir
} &&
    complete -F _tarnimex_convert tarnimex-convert

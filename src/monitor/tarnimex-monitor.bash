# SPDX-License-Identifier: GPL-3.0-or-later
# bash completion for tarnimex-monitor: its options, the values of those that
# take a few, and sources: serial ports, "tcp:", "file:" and files.
# The words offered hold no blanks, so compgen's output is split as it stands.
# shellcheck disable=SC2207
_tarnimex_monitor() {
    local cur prev words cword split
    _init_completion -s -n : || return

    case $prev in
        --decimals)
            COMPREPLY=($(compgen -W 'auto 0 1 2 3' -- "$cur"))
            return ;;
        --date-order)
            COMPREPLY=($(compgen -W 'ymd mdy dmy' -- "$cur"))
            return ;;
        --rotate)
            COMPREPLY=($(compgen -W 'hour day 1 5 10 15 30' -- "$cur"))
            return ;;
        --parity)
            COMPREPLY=($(compgen -W 'none even odd mark space' -- "$cur"))
            return ;;
        --stop-bits)
            COMPREPLY=($(compgen -W '1 2' -- "$cur"))
            return ;;
        --flow-control)
            COMPREPLY=($(compgen -W 'none hardware software' -- "$cur"))
            return ;;
        --settings)
            _filedir ini
            return ;;
        --limits)
            _filedir
            return ;;
        --record)
            _filedir -d
            return ;;
        --duration | --key | --second-key | --threshold | --max-step | --alarm-step | \
        --alarm-symbol | --date-sep | --time-sep | --decimal-sep)
            return ;;
    esac
    $split && return

    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W '--record --rotate --duration --json --quiet --limits
            --parity --stop-bits --flow-control --settings --key --second-key --decimals
            --limit --threshold --max-step --alarm-step --alarm-symbol --date-order
            --date-sep --time-sep --decimal-sep --help --version' -- "$cur"))
        return
    fi
    case $cur in
        serial:*)
            local ports
            ports=$(compgen -G '/dev/tty[USA]*'; compgen -G '/dev/serial/by-id/*')
            COMPREPLY=($(compgen -P serial: -W "$ports" -- "${cur#serial:}"))
            ;;
        file:*)
            local IFS=$'\n'
            COMPREPLY=($(compgen -P file: -f -- "${cur#file:}"))
            ;;
        *)
            COMPREPLY=($(compgen -W 'serial: tcp: file: -' -- "$cur"))
            compopt -o nospace
            ;;
    esac
    __ltrim_colon_completions "$cur"
} &&
    complete -F _tarnimex_monitor tarnimex-monitor

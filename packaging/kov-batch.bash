# bash completion for kov-batch                            -*- shell-script -*-
# Options; the unit lists of the kov window after --x-unit and --y-unit;
# pictures after --plot; CSV files after --summary; HTML pages after --report; test records (*.prn) and
# folders everywhere else.

_kov_batch()
{
    local cur prev words cword split
    _init_completion -s || return

    case $prev in
        --skip-lines)
            COMPREPLY=($(compgen -W 'auto' -- "$cur"))
            return
            ;;
        --x-column | --y-column | --x-coef | --y-coef | --plot-scale | --level-tolerance | --height | --acceptance-drift | --yield-disp | --jobs | -j | --deadband | --help | --version)
            return
            ;;
        --x-unit)
            COMPREPLY=($(compgen -W 'mm cm m % μ' -- "$cur"))
            return
            ;;
        --y-unit)
            COMPREPLY=($(compgen -W 'tonf kgf kN MPa GPa' -- "$cur"))
            return
            ;;
        --plot)
            _filedir '@(png|svg)'
            return
            ;;
        --summary)
            _filedir csv
            return
            ;;
        --report)
            _filedir '@(html|htm)'
            return
            ;;
    esac
    $split && return

    # After "--" every word is a record.
    local i
    for ((i = 1; i < cword; i++)); do
        if [[ ${words[i]} == -- ]]; then
            _filedir prn
            return
        fi
    done

    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W '--x-column --y-column --skip-lines --x-coef --y-coef
            --x-unit --y-unit --decimal-comma --inspect --stdout --plot --plot-scale --json --csv --summary --report
            --level-tolerance --height --acceptance-drift --yield-disp --jobs --quiet --window-limits --deadband
            --help --version --' -- "$cur"))
        return
    fi
    _filedir prn
} &&
    complete -F _kov_batch kov-batch

# ex: filetype=sh

# bash completion for kov-batch                            -*- shell-script -*-
# Options; the unit lists of the kov window after --x-unit and --y-unit;
# pictures after --plot; CSV files after --summary; HTML pages after --report; test records (*.prn) and
# folders everywhere else.

_kov_batch()
{
    local cur prev words cword split
    _init_completion -s || return

    case $prev in
<<<<<<< HEAD
        --x-column | --y-column | --skip-lines | --x-coef | --y-coef | --plot-scale | --level-tolerance | --height | --acceptance-drift | --yield-disp | --jobs | -j | --help | --version)
=======
        --x-column | --y-column | --skip-lines | --x-coef | --y-coef | --plot-scale | --level-tolerance | --height | --acceptance-drift | --yield-disp | --deadband | --help | --version)
>>>>>>> f418448 (kov-batch --deadband F or P%: an upward zero crossing ends a cycle only once a load of the cycle reached -F; a warning, a summary column and a report figure for cycles that look like noise; the reader keeps the chosen fields as the floats they are stored as, in blocks given back as they are stored (8 bytes a row); bench/long_record.py against pandas and numpy; python3-pandas for it)
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
            --x-unit --y-unit --stdout --plot --plot-scale --json --csv --summary --report --level-tolerance
<<<<<<< HEAD
            --height --acceptance-drift --yield-disp --jobs --quiet --window-limits --help --version --' -- "$cur"))
=======
            --height --acceptance-drift --yield-disp --window-limits --deadband --help --version --' -- "$cur"))
>>>>>>> f418448 (kov-batch --deadband F or P%: an upward zero crossing ends a cycle only once a load of the cycle reached -F; a warning, a summary column and a report figure for cycles that look like noise; the reader keeps the chosen fields as the floats they are stored as, in blocks given back as they are stored (8 bytes a row); bench/long_record.py against pandas and numpy; python3-pandas for it)
        return
    fi
    _filedir prn
} &&
    complete -F _kov_batch kov-batch

# ex: filetype=sh

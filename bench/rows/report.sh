# qrnconv report on the big generated analysis (24 cables x 200 nodes x 5,000
# steps, .qrn3) against qrnconv info on the same file (the load alone); target
# within 2x. A second row gives the clearance search's share: the same report
# with every cable in one group (no pair to search) taken from the full one.
# Each figure is the best of five runs after one warming read. Sourced by
# bench/run; never fails the run.

report_now() { date +%s.%N; }

# Best of five wall-clock seconds of the command.
report_time() {
    local best="" t0 t1 s i
    for i in 1 2 3 4 5; do
        t0=$(report_now)
        "$@" >/dev/null 2>&1 || return 1
        t1=$(report_now)
        s=$(awk -v a="$t0" -v b="$t1" 'BEGIN { print b - a }')
        best=$(awk -v a="$best" -v b="$s" 'BEGIN { print (a == "" || b < a) ? b : a }')
    done
    echo "$best"
}

if report_big=$(big_model) && "$BIN/qrnconv" report --help >/dev/null 2>&1; then
    report_all=$(seq -s, 0 23)
    "$BIN/qrnconv" info "$report_big" >/dev/null 2>&1 || true
    if report_info=$(report_time "$BIN/qrnconv" info "$report_big") &&
        report_full=$(report_time "$BIN/qrnconv" report "$report_big" --json) &&
        report_none=$(report_time "$BIN/qrnconv" report "$report_big" --json --groups "$report_all"); then
        row "qrnconv report big24 (target <= 2x info)" "$(printf '%.2f s' "$report_full")" \
            "$(printf '%.2f s info' "$report_info")" \
            "$(awk -v a="$report_full" -v b="$report_info" 'BEGIN { if (b > 0) printf "%.2fx", a / b }')"
        row "  clearance search share" \
            "$(awk -v a="$report_full" -v b="$report_none" 'BEGIN { printf "%.2f s", a - b }')" \
            "$(printf '%.2f s none' "$report_none")" \
            "$(awk -v a="$report_full" -v b="$report_none" 'BEGIN { if (a > 0) printf "%.0f%%", 100 * (a - b) / a }')"
    fi
fi

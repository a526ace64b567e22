# The plot: reducing 4 series x 1,000,000 steps to a 1,600-pixel-wide chart
# against one pass that only sums the same values (target: at most 2x), and
# the window's redraw with those series after a zoom (target: under 30 ms).
# Sourced by bench/run; never fails the run.

if [ -x "$BIN/qrn_plot_bench" ]; then
    "$BIN/qrn_plot_bench" --benchmark_format=csv 2>/dev/null | tail -n +2 > "$WORK/plot.csv" || true
    declare -A plot_cpu
    while IFS=, read -r name iters real cpu unit rest; do
        plot_cpu[${name//\"/}]=$cpu
    done < "$WORK/plot.csv"
    reduce=${plot_cpu[plotReduce]:-}
    sum=${plot_cpu[plotSum]:-}
    if [ -n "$reduce" ] && [ -n "$sum" ]; then
        row "plot reduce 4x1M steps to 1600 columns" "$(printf '%.2f ms' "$reduce")" \
            "$(printf '%.2f ms sum' "$sum")" \
            "$(awk -v a="$reduce" -v b="$sum" 'BEGIN { printf "%.2fx", a / b }')"
    fi
fi

if [ -x "$BIN/qrn_plot_redraw" ]; then
    if read -r zooms cpu worst wall points < <("$BIN/qrn_plot_redraw" 2>/dev/null); then
        row "plot window redraw after zoom (4x1M)" "$(printf 'cpu %s ms' "$cpu")" \
            "$(printf 'wall %s ms' "$wall")" "max $worst"
    fi
fi

# Playback with the plot window following (4x1M series): CPU per frame of the
# real viewer on the sample, with the plot against alone.
if [ -x "$BIN/qrn_plot_follow" ]; then
    if read -r frames alone plot < <("$BIN/qrn_plot_follow" 2>/dev/null); then
        row "playback frame with plot following (4x1M)" "$(printf '%s ms' "$plot")" \
            "$(printf '%s ms alone' "$alone")" \
            "$(awk -v a="$plot" -v b="$alone" 'BEGIN { printf "%.2fx", a / b }')"
    fi
fi

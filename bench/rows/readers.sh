# Text history reading: the whole read of qrnconv info (settings, history,
# coordinates) on a text history of more than 1 GB written by qrnconv sample,
# against wc -l over the same page-cached file (target: at most 4x), and the
# binary history of the same analysis against cat. Without a
# qrnconv that has `sample` and `info`, qrn_hisgen and qrn_readbench stand in.
# Sourced by bench/run; never fails the run.

rd_dir="$WORK/readers_big"

# Runs "$@" three times; prints the best wall time and that run's CPU time (user +
# system), in seconds, or nothing when the command fails.
rd_best() {
    local best="" cpu="" out i
    for i in 1 2 3; do
        out=$( { TIMEFORMAT='%R %U %S'; time "$@" > /dev/null 2>&1; } 2>&1 ) || return 1
        read -r r u s <<< "$out"
        if [ -z "$best" ] || awk -v a="$r" -v b="$best" 'BEGIN { exit !(a < b) }'; then
            best=$r
            cpu=$(awk -v u="$u" -v s="$s" 'BEGIN { printf "%.2f", u + s }')
        fi
    done
    echo "$best $cpu"
}

rd_make() {
    rm -rf "$rd_dir"
    if "$BIN/qrnconv" sample --help > /dev/null 2>&1 &&
        "$BIN/qrnconv" sample "$rd_dir" --cables 12 --nodes 400 --steps 4000 > /dev/null 2>&1; then
        rd_tool=qrnconv
        return 0
    fi
    [ -x "$BIN/qrn_hisgen" ] && "$BIN/qrn_hisgen" "$rd_dir" 12 100 15000 > /dev/null 2>&1 &&
        rd_tool=hisgen
}

if rd_make && [ -s "$rd_dir/run1.his" ]; then
    rd_his="$rd_dir/run1.his"
    rd_mb=$(( $(stat -c %s "$rd_his") / 1000000 ))
    if [ "$rd_tool" = qrnconv ] && "$BIN/qrnconv" info "$rd_his" > /dev/null 2>&1; then
        rd_cmd=("$BIN/qrnconv" info "$rd_his")
        rd_name="qrnconv info ${rd_mb}MB .his (s)"
    else
        rd_cmd=("$BIN/qrn_readbench" "$rd_his")
        rd_name="qrn_readbench ${rd_mb}MB .his (s)"
    fi
    cat "$rd_his" > /dev/null
    if rd_ref=$(rd_best wc -l "$rd_his") && rd_ours=$(rd_best "${rd_cmd[@]}"); then
        read -r rd_ref_wall rd_ref_cpu <<< "$rd_ref"
        read -r rd_wall rd_cpu <<< "$rd_ours"
        row "$rd_name" "$rd_wall" "$rd_ref_wall wc -l" \
            "$(awk -v a="$rd_wall" -v b="$rd_ref_wall" 'BEGIN { if (b > 0) printf "%.2fx", a / b }')"
        row "  same, MB/s wall (cpu s)" \
            "$(awk -v m="$rd_mb" -v s="$rd_wall" -v c="$rd_cpu" 'BEGIN { printf "%.0f (%s)", m / s, c }')" \
            "$(awk -v m="$rd_mb" -v s="$rd_ref_wall" -v c="$rd_ref_cpu" 'BEGIN { printf "%.0f (%s)", m / s, c }')" ""
    fi
fi
# Binary history of the same analysis (self.dat settings) against cat.
rd_f08="$rd_dir/run1.f08"
if [ "${rd_tool:-}" = qrnconv ] && [ -s "$rd_f08" ] && "$BIN/qrnconv" info "$rd_f08" > /dev/null 2>&1; then
    rd_mb=$(( $(stat -c %s "$rd_f08") / 1000000 ))
    cat "$rd_f08" > /dev/null
    if rd_ref=$(rd_best cat "$rd_f08") && rd_ours=$(rd_best "$BIN/qrnconv" info "$rd_f08"); then
        read -r rd_ref_wall _ <<< "$rd_ref"
        read -r rd_wall _ <<< "$rd_ours"
        row "qrnconv info ${rd_mb}MB .f08 (s)" "$rd_wall" "$rd_ref_wall cat" \
            "$(awk -v a="$rd_wall" -v b="$rd_ref_wall" 'BEGIN { if (b > 0) printf "%.2fx", a / b }')"
    fi
fi
rm -rf "$rd_dir"

# HDF5 + XDMF export of the big generated analysis (from its .qrn3) against
# qrnconv save of the same data (target: at most 1.5x; it writes 28 bytes per
# node and step where the .qrn3 holds 16), and the pair's size with --compress.
# Best wall time of five alternating runs each. Sourced by bench/run; never
# fails the run.
xdmf_run() {
    local src out t0 t1 i save="" xdmf="" dt size csize
    src=$(big_model) || { row "qrnconv xdmf big model" "skipped" "no big model" ""; return; }
    out="$WORK/xdmf_out"
    rm -rf "$out" && mkdir -p "$out"
    "$BIN/qrnconv" xdmf "$src" "$out/run.xdmf" >/dev/null 2>&1 ||
        { row "qrnconv xdmf big model" "failed" "" ""; return; }
    for i in 1 2 3 4 5; do
        t0=$(date +%s%N)
        "$BIN/qrnconv" save "$src" "$out/copy.qrn3" >/dev/null 2>&1
        t1=$(date +%s%N)
        dt=$(( t1 - t0 ))
        if [ -z "$save" ] || [ "$dt" -lt "$save" ]; then save=$dt; fi
        t0=$(date +%s%N)
        "$BIN/qrnconv" xdmf "$src" "$out/run.xdmf" >/dev/null 2>&1
        t1=$(date +%s%N)
        dt=$(( t1 - t0 ))
        if [ -z "$xdmf" ] || [ "$dt" -lt "$xdmf" ]; then xdmf=$dt; fi
    done
    size=$(( $(stat -c %s "$out/run.h5") + $(stat -c %s "$out/run.xdmf") ))
    row "qrnconv xdmf 24x200x5000 .qrn3 (s)" "$(awk -v n="$xdmf" 'BEGIN{printf "%.2f", n/1e9}')" \
        "$(awk -v n="$save" 'BEGIN{printf "%.2f save", n/1e9}')" \
        "$(awk -v a="$xdmf" -v b="$save" 'BEGIN{printf "%.2fx", a/b}')"
    t0=$(date +%s%N)
    "$BIN/qrnconv" xdmf "$src" "$out/packed.xdmf" --compress >/dev/null 2>&1 || true
    t1=$(date +%s%N)
    if [ -s "$out/packed.h5" ]; then
        row "  xdmf --compress, one run (s)" "$(awk -v n="$((t1 - t0))" 'BEGIN{printf "%.2f", n/1e9}')" \
            "$(awk -v n="$xdmf" 'BEGIN{printf "%.2f plain", n/1e9}')" ""
        csize=$(( $(stat -c %s "$out/packed.h5") + $(stat -c %s "$out/packed.xdmf") ))
        row "  xdmf pair size, --compress (MB)" "$((csize / 1000000))" \
            "$((size / 1000000)) plain" "$(awk -v a="$csize" -v b="$size" 'BEGIN{printf "%.2fx", a/b}')"
    fi
    rm -rf "$out"
}
xdmf_run

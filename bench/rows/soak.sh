# Soak runs, 200 cycles each. Writers (qrn_soak): complete and cancelled writes
# of the dataset file, a CSV and a split CSV set. The program (qrn_soak_viewer,
# offscreen): read .his/.f08/.qrn3 in turn, play the whole sample through,
# pick a node, a GIF of 20 images, back to the main window. Resident memory
# after cycle 10 and 200, open files, files left over, ms per cycle at the
# start and the end (wall clock and processor time: the wall clock also counts
# other jobs on the machine). Sourced by bench/run; never fails the run.
if [ -x "$BIN/qrn_soak" ]; then
    soak_dir="$WORK/soak"
    rm -rf "$soak_dir" && mkdir -p "$soak_dir/out" "$soak_dir/viewer"
    if "$BIN/qrnconv" sample "$soak_dir" --cables 4 --nodes 50 --steps 400 >/dev/null 2>&1 &&
        "$BIN/qrnconv" save "$soak_dir/run1.his" "$soak_dir/in.qrn3" >/dev/null 2>&1; then
        ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.3f", a / b }'; }
        if soak=$("$BIN/qrn_soak" "$soak_dir/in.qrn3" "$soak_dir/out" 2>/dev/null); then
            read -r rss10 rss200 fd10 fd200 left cancelled ms10 ms200 cpu10 cpu200 <<<"$soak"
            row "soak 200 writes+cancels RSS kB c10/c200" "$rss200" "$rss10" "$(ratio "$rss200" "$rss10")"
            row "soak open files c10/c200, leftovers" "$fd200 fds, $left left" "$fd10 fds" ""
            row "soak ms per cycle first/last 10 ($cancelled cancels)" "$ms200" "$ms10" \
                "$(ratio "$ms200" "$ms10")"
            row "soak cpu ms per cycle first/last 10" "$cpu200" "$cpu10" "$(ratio "$cpu200" "$cpu10")"
        fi
        if [ -x "$BIN/qrn_soak_viewer" ] &&
            soak=$(QT_QPA_PLATFORM=offscreen "$BIN/qrn_soak_viewer" "$soak_dir/run1.his" \
                "$soak_dir/run1.f08" "$soak_dir/in.qrn3" "$soak_dir/viewer" 2>/dev/null); then
            read -r rss10 rss200 fd10 fd200 left ms10 ms200 cpu10 cpu200 secs cycles <<<"$soak"
            row "soak viewer $cycles cycles RSS kB c10/c200" "$rss200" "$rss10" \
                "$(ratio "$rss200" "$rss10")"
            row "soak viewer open files c10/c200, leftovers" "$fd200 fds, $left left" "$fd10 fds" ""
            row "soak viewer ms per cycle first/last 10" "$ms200" "$ms10" "$(ratio "$ms200" "$ms10")"
            row "soak viewer cpu ms per cycle first/last 10" "$cpu200" "$cpu10" \
                "$(ratio "$cpu200" "$cpu10")"
            row "soak viewer whole run s" "$secs" "" ""
        fi
    fi
    rm -rf "$soak_dir"
fi

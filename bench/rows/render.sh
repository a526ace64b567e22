# Frame drawing (drawFrame on the QImage canvas) in frames per second of CPU
# time, against the floor of QImage::fill + copy of an image of the same size.
# Targets: the large model within 20x the floor, the small one above 1000 fps.
if [ -x "$BIN/qrn_render_bench" ]; then
    "$BIN/qrn_render_bench" --benchmark_format=csv 2>/dev/null | tail -n +2 > "$WORK/render.csv" || true
    declare -A render_cpu render_label
    while IFS=, read -r name iters real cpu unit bps ips label rest; do
        name=${name//\"/}
        render_cpu[$name]=$cpu
        render_label[$name]=${label//\"/}
    done < "$WORK/render.csv"
    for size in small large; do
        floor=${render_cpu[floorOf/$size]:-}
        for mode in normal real; do
            cpu=${render_cpu[frames/${size}_$mode]:-}
            [ -n "$cpu" ] && [ -n "$floor" ] || continue
            case $size in small) model="6x50 nodes" ;; large) model="24x1000 nodes" ;; esac
            row "drawFrame $mode $model ${render_label[frames/${size}_$mode]}" \
                "$(awk -v t="$cpu" 'BEGIN{printf "%.0f fps", 1e6/t}')" \
                "$(awk -v t="$floor" 'BEGIN{printf "%.0f fps", 1e6/t}')" \
                "$(awk -v a="$cpu" -v b="$floor" 'BEGIN{printf "%.1fx", a/b}')"
        done
    done
fi

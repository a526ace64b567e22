#!/usr/bin/env bash
# Installs a build into a temporary prefix and checks what a desktop needs of it:
# the programs, a valid menu entry, and file types that the entry claims and
# shared-mime-info accepts.  Usage: check_install.sh BUILD_DIR
set -euo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >/dev/null
share=$prefix/share
desktop=$share/applications/qrnview.desktop
mimexml=$share/mime/packages/qrnview.xml
for f in bin/qrnview bin/qrnconv; do [ -x "$prefix/$f" ] || fail "$f not installed"; done
for f in "$desktop" "$mimexml" "$share/icons/hicolor/scalable/apps/qrnview.svg"; do
    [ -f "$f" ] || fail "${f#"$prefix"/} not installed"
done
# Only the programs go to bin/.
[ "$(ls "$prefix/bin" | tr '\n' ' ')" = "qrnconv qrnview " ] || fail "bin/ holds $(ls "$prefix/bin")"

# Hints too: an entry that only shows up in a catch-all menu section is a fault here.
out=$(desktop-file-validate "$desktop" 2>&1) && [ -z "$out" ] || fail "desktop-file-validate: $out"
xmllint --noout "$mimexml" "$share/icons/hicolor/scalable/apps/qrnview.svg" || fail "xmllint"
grep -qx 'Exec=qrnview %f' "$desktop" || fail "Exec does not pass the file"

# Every type the entry claims is one the XML defines, and the reverse.
claimed=$(sed -n 's/^MimeType=//p' "$desktop" | tr ';' '\n' | sed '/^$/d' | sort)
defined=$(sed -n 's/.*<mime-type type="\([^"]*\)".*/\1/p' "$mimexml" | sort)
[ "$claimed" = "$defined" ] || fail "MimeType= ($claimed) differs from the XML ($defined)"

# shared-mime-info compiles it, and each name the analysis and qrnview write maps to its type.
# (Its note that the prefix is not on XDG_DATA_DIRS is expected here.)
out=$(update-mime-database "$share/mime" 2>&1) || fail "update-mime-database: $out"
while read -r glob type; do
    grep -qxF "50:$type:$glob" "$share/mime/globs2" || fail "$glob is not $type"
done <<'TABLE'
*.qrn3 application/x-qrn3
*.qrn application/x-qrn
*.qrn0 application/x-qrn
*.qrn1 application/x-qrn
*.qrn2 application/x-qrn
*.his text/x-quarn-his
*.f24 text/x-quarn-f24
*.f08 application/x-quarn-f08
TABLE
echo "install into $prefix: OK"

#!/bin/sh
# Fails when an include crosses the layers the wrong way, printing each offending
# file:line. The layers, from the bottom (docs/architecture.md):
#   common/                           includes only itself
#   platform/                         common/
#   platform/gtk/, platform/tesseract/  platform/, common/ (and their own toolkit)
#   platform/gtk/web_process/         platform/, common/ (and the web process's toolkit);
#                                     a module of its own, built with the sources it uses
#   scheme/, ocr/                     platform/, common/
#   bridge/                           ocr/, scheme/, platform/, common/
#   app/                              all of the above but the two backends
#   app/main.cpp, app/composition.*   every layer: the one place the backends are wired
# Only the backends include toolkit headers, each its own.
# Usage: check_includes.sh [source-root]   (the repository by default)
set -eu
root=${1:-$(dirname "$0")/../..}
cd "$root"

files=$(find common app scheme bridge ocr platform -type f \( -name '*.h' -o -name '*.cpp' \) 2>/dev/null | sort)
[ -n "$files" ] || { echo "check_includes: no sources under $root" >&2; exit 2; }

# shellcheck disable=SC2086
awk '
function layerOf(path) {
    if (path ~ /^app\/(main\.cpp|composition\.(h|cpp))$/) return "root"
    if (path ~ /^platform\/gtk\/web_process\//) return "web_process"
    if (path ~ /^platform\/gtk\//) return "gtk"
    if (path ~ /^platform\/tesseract\//) return "tesseract"
    if (path ~ /^platform\/[^\/]*$/) return "platform"
    if (path ~ /^(common|scheme|ocr|bridge|app)\//) { split(path, piece, "/"); return piece[1] }
    return "outside"
}
function toolkitOf(header) {
    if (header ~ /^(gtk|gdk|gdk-pixbuf|webkit2|webkit|jsc|JavaScriptCore|gio|gobject|cairo)\// ||
        header ~ /^(glib|poppler|cairo)/) return "gtk"
    if (header ~ /^(tesseract|leptonica)\// || header == "allheaders.h") return "tesseract"
    return ""
}
BEGIN {
    allowed["common"] = " common "
    allowed["platform"] = " platform common "
    allowed["gtk"] = " gtk web_process platform common "
    allowed["tesseract"] = " tesseract platform common "
    allowed["web_process"] = " web_process platform common "
    allowed["scheme"] = " scheme platform common "
    allowed["ocr"] = " ocr platform common "
    allowed["bridge"] = " bridge ocr scheme platform common "
    allowed["app"] = " app bridge ocr scheme platform common "
    allowed["root"] = " root app bridge ocr scheme platform gtk tesseract common "
    faults = 0
}
FNR == 1 { from = layerOf(FILENAME) }
/^[ \t]*#[ \t]*include[ \t]*"/ {
    target = $0
    sub(/^[^"]*"/, "", target)
    sub(/".*$/, "", target)
    to = layerOf(target)
    if (index(allowed[from], " " to " ") == 0) {
        printf "%s:%d: %s/ may not include \"%s\" (%s/)\n", FILENAME, FNR, from, target, to
        faults++
    }
}
/^[ \t]*#[ \t]*include[ \t]*</ {
    header = $0
    sub(/^[^<]*</, "", header)
    sub(/>.*$/, "", header)
    kit = toolkitOf(header)
    if (kit != "" && kit != from && !(kit == "gtk" && from == "web_process")) {
        printf "%s:%d: %s/ may not include the toolkit header <%s>\n", FILENAME, FNR, from, header
        faults++
    }
}
END {
    if (faults > 0) { printf "%d include(s) cross the layers the wrong way\n", faults; exit 1 }
}
' $files

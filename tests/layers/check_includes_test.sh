#!/bin/sh
# The include check itself: on a small tree it must name every wrong-way include by
# file and line, let the allowed ones through, and pass once the faults are gone.
set -eu
check=$(cd "$(dirname "$0")" && pwd)/check_includes.sh
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT

put() {  # put FILE LINE...
    mkdir -p "$tree/$(dirname "$1")"
    file=$1
    shift
    printf '%s\n' "$@" > "$tree/$file"
}
put common/text.h '#pragma once' '#include <string>'
put platform/shell.h '#pragma once' '#include "common/text.h"'
put platform/tesseract/engine.cpp '#include <tesseract/baseapi.h>' '#include "platform/shell.h"'
put platform/gtk/window.cpp '#include <gtk/gtk.h>' '#include "platform/tesseract/engine.h"'
put bridge/dispatch.cpp '#include "ocr/native_ocr.h"' '#include "app/app_delegate.h"'
put ocr/run.cpp '#include "common/text.h"' '  #  include <glib.h>'
put app/app_delegate.cpp '#include "bridge/bridge.h"' '#include "platform/gtk/gtk_shell.h"'
put app/composition.cpp '#include "platform/gtk/gtk_application.h"' '#include "platform/tesseract/engine.h"'

fail() { echo "check_includes_test: $*" >&2; exit 1; }
if out=$("$check" "$tree"); then fail "a tree with wrong-way includes passed"; fi
for fault in platform/gtk/window.cpp:2: bridge/dispatch.cpp:2: ocr/run.cpp:2: app/app_delegate.cpp:2:; do
    printf '%s\n' "$out" | grep -q "^$fault" || fail "not reported: $fault
$out"
done
[ "$(printf '%s\n' "$out" | grep -c ':[0-9]*: ')" -eq 4 ] || fail "allowed includes reported:
$out"

put platform/gtk/window.cpp '#include <gtk/gtk.h>'
put bridge/dispatch.cpp '#include "ocr/native_ocr.h"'
put ocr/run.cpp '#include "common/text.h"'
put app/app_delegate.cpp '#include "bridge/bridge.h"'
"$check" "$tree" || fail "a clean tree failed"

#!/bin/bash
# Translating everything a library's catalogue offers by default must not change what the
# library does: every text offered is given a translation (the text behind a marker, so that
# placeholders and conversions stay), the library is rebuilt with apply, and then java loads
# and initialises every class of it, before and after, and calls parts of it whose results hold
# no message (parsers, encoders, escapers, formatters). Any class that initialised before and
# fails after, or any result that differs, fails the test.
# Usage: library_calls.sh CLASSLINGO_CLI JAVAC JAVA MSGEN GUAVA_JAR LANG3_JAR
set -euo pipefail

cli=$(realpath "$1") javac=$2 java=$3 msgen=$4 guava=$5 lang3=$6
here=$(dirname "$(realpath "$0")")
for needed in "$guava" "$lang3" "$msgen"; do
    if [ ! -e "$needed" ]; then
        # Debian's libguava-java and libcommons-lang3-java, gettext: scripts/install-deps.
        echo "not installed: $needed" >&2
        [ -n "${CI:-}" ] && exit 1
        exit 77
    fi
done
source "$here/scratch.sh"

"$javac" -d . "$here/java/InitAll.java"
"$javac" -nowarn -cp "$guava" -d . "$here/java/GuavaCalls.java" 2>/dev/null
"$javac" -nowarn -cp "$lang3" -d . "$here/java/Lang3Calls.java" 2>/dev/null

check() {
    local name=$1 jar=$2 calls=$3
    "$cli" extract "$jar" "$name.po" 2>"$name.extract.log" || fail "extract $name: $(cat "$name.extract.log")"
    # Every offered text translated: the header stays, each msgstr is its msgid behind a marker.
    "$msgen" "$name.po" | awk 'BEGIN { header = 1 } /^$/ { header = 0 }
        { if (!header && /^msgstr "/) sub(/^msgstr "/, "msgstr \"【译】"); print }' > "$name.zh.po"
    local offered
    offered=$(grep -c '^msgstr "【译】' "$name.zh.po" || true)
    [ "$offered" -gt 100 ] || fail "$name: only $offered texts offered"
    "$cli" apply "$jar" "$name.zh.po" "$name.zh.jar" 2>"$name.apply.log" || fail "apply $name: $(cat "$name.apply.log")"

    "$java" -cp . InitAll "$jar" > "$name.before" 2>"$name.before.count"
    "$java" -cp . InitAll "$name.zh.jar" > "$name.after" 2>"$name.after.count"
    local broken
    broken=$(comm -13 <(sort "$name.before") <(sort "$name.after"))
    [ -z "$broken" ] || fail "$name: classes that initialised before fail after:"$'\n'"$broken"
    "$java" -cp ".:$jar" "$calls" > "$name.calls.before" 2>&1 || fail "$calls before: $(cat "$name.calls.before")"
    "$java" -cp ".:$name.zh.jar" "$calls" > "$name.calls.after" 2>&1 || fail "$calls after: $(cat "$name.calls.after")"
    diff "$name.calls.before" "$name.calls.after" >&2 || fail "$name: results differ after translation"
    echo "$name: $offered texts translated; $(cat "$name.before.count") classes before, $(cat "$name.after.count") after;" \
        "$(wc -l < "$name.calls.before") results the same"
}

check guava "$guava" GuavaCalls
check commons-lang3 "$lang3" Lang3Calls
echo "library calls: OK"

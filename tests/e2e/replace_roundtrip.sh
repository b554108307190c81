#!/bin/bash
# Compiles a small Java program, translates its messages with classlingo-cli (one of them
# into Chinese), runs it on a real JVM and checks what it prints and what the backup holds.
# Usage: replace_roundtrip.sh CLASSLINGO_CLI JAVAC JAVA
set -euo pipefail

cli=$(realpath "$1") javac=$2 java=$3
source "$(dirname "$(realpath "$0")")/scratch.sh"

cat > Greeter.java <<'JAVA'
public class Greeter {
    public static void main(String[] args) {
        System.out.println("Good morning");
        System.out.println("Press any key to continue");
        System.out.println("Goodbye");
        System.out.println(args.length == 0 ? "no arguments" : "arguments");
    }
}
JAVA
"$javac" -encoding UTF-8 -d . Greeter.java
cp Greeter.class original.class

run_java() {
    "$java" -Dfile.encoding=UTF-8 -Dstdout.encoding=UTF-8 -Dsun.stdout.encoding=UTF-8 -cp . Greeter
}

before=$(run_java)
[ "$before" = $'Good morning\nPress any key to continue\nGoodbye\nno arguments' ] || fail "unexpected output before: $before"

: > none.ini
list=$("$cli" list --filter none.ini Greeter.class)
index_of() {
    local index
    index=$(awk -F'\t' -v text="$1" '$4 == text { print NR - 1; exit }' <<< "$list")
    [ -n "$index" ] || fail "\"$1\" is not listed:"$'\n'"$list"
    echo "$index"
}
morning=$(index_of "Good morning")
press=$(index_of "Press any key to continue")
goodbye=$(index_of "Goodbye")
none=$(index_of "no arguments")

# Longer, shorter and Chinese replacements in one run.
"$cli" replace --filter none.ini Greeter.class \
    "$morning" "早上好，译者" \
    "$press" "Press any key to continue, or wait for the timer to run out" \
    "$goodbye" "Bye" \
    "$none" "没有参数"

after=$(run_java)
expected=$'早上好，译者\nPress any key to continue, or wait for the timer to run out\nBye\n没有参数'
[ "$after" = "$expected" ] || fail "unexpected output after replacing:"$'\n'"$after"
cmp -s Greeter.class.bak original.class || fail "the backup differs from the original class file"
ls -A | grep -q '\.tmp$' && fail "a temporary file was left behind"

# The list after the replacement shows the new texts at the same indices.
list=$("$cli" list --filter none.ini Greeter.class)
[ "$(awk -F'\t' -v i="$morning" 'NR - 1 == i { print $4 }' <<< "$list")" = "早上好，译者" ] || fail "list after replace:"$'\n'"$list"

# A second replacement: the backup now holds the result of the first.
cp Greeter.class first.class
"$cli" replace --filter none.ini Greeter.class "$goodbye" "再见"
cmp -s Greeter.class.bak first.class || fail "the backup does not hold the first save"
[ "$(run_java | sed -n 3p)" = "再见" ] || fail "second replacement not printed"

echo "ok"

#!/bin/bash
# Packs a small Java program into a jar, extracts its catalogue, translates it (Chinese, a
# recipe reworded around its slots, an emoji), applies it and runs the result
# with java -jar; then the same with a jar signed by jarsigner, whose signature must be
# dropped so that the translated jar still runs.
# Usage: program_roundtrip.sh CLASSLINGO_CLI JAVAC JAVA MSGFMT TOOL_CHECK
# (MSGFMT as configured, possibly missing; TOOL_CHECK decides what a missing one means.)
set -euo pipefail

cli=$(realpath "$1") javac=$2 java=$3 msgfmt=$4 toolcheck=$5
bindir=$(dirname "$(realpath "$javac")")
jar="$bindir/jar" jarsigner="$bindir/jarsigner" keytool="$bindir/keytool"
source "$(dirname "$(realpath "$0")")/scratch.sh"

mkdir -p src/demo classes
cat > src/demo/App.java <<'JAVA'
package demo;

public class App {
    public static void main(String[] args) {
        int n = args.length + 3;
        System.out.println("Hello, translator");
        System.out.println("Found " + n + " files in " + "demo" + n + "!");
        System.out.println(Helper.farewell());
    }
}
JAVA
cat > src/demo/Helper.java <<'JAVA'
package demo;

class Helper {
    static String farewell() {
        return "Goodbye {for now}";
    }
}
JAVA
"$javac" -encoding UTF-8 -d classes src/demo/App.java src/demo/Helper.java
printf 'Main-Class: demo.App\n' > manifest.txt
"$jar" cfm app.jar manifest.txt -C classes .

run_jar() {
    "$java" -Dfile.encoding=UTF-8 -Dstdout.encoding=UTF-8 -Dsun.stdout.encoding=UTF-8 -jar "$1"
}
[ "$(run_jar app.jar)" = $'Hello, translator\nFound 3 files in demo3!\nGoodbye {for now}' ] || fail "unexpected output before"

"$cli" extract app.jar app.po 2>extract.log || fail "extract failed: $(cat extract.log)"
grep -q '^msgid "Found {0} files in demo{1}!"$' app.po || fail "recipe not offered:"$'\n'"$(cat app.po)"
grep -q '^#: demo/App.class:' app.po || fail "no reference to demo/App.class"
if [ -x "$msgfmt" ]; then
    "$msgfmt" --check -o /dev/null app.po || fail "msgfmt rejects the catalogue"
else
    # Without msgfmt the check is left out, except under CI, where nothing may be left out.
    status=0
    "$toolcheck" msgfmt "$msgfmt" || status=$?
    [ "$status" -eq 77 ] || fail "msgfmt is missing"
fi

# Translate with plain text tools, as a translator's editor would.
translate() {
    sed -e '/^msgid "Hello, translator"$/{n;s/.*/msgstr "你好，译者 🎉"/}' \
        -e '/^msgid "Found {0} files in demo{1}!"$/{n;s/.*/msgstr "找到 {0} 个文件，位于 demo{1}！"/}' \
        -e '/^msgid "Goodbye {for now}"$/{n;s/.*/msgstr "再见 {暂时}"/}' "$1"
}
translate app.po > zh.po

"$cli" apply app.jar zh.po out.jar 2>apply.log || fail "apply failed: $(cat apply.log)"
expected=$'你好，译者 🎉\n找到 3 个文件，位于 demo3！\n再见 {暂时}'
[ "$(run_jar out.jar)" = "$expected" ] || fail "unexpected output after applying:"$'\n'"$(run_jar out.jar)"
[ "$(run_jar app.jar)" = $'Hello, translator\nFound 3 files in demo3!\nGoodbye {for now}' ] || fail "input changed"

# The same catalogue and input give the same bytes.
"$cli" apply app.jar zh.po out2.jar 2>/dev/null
cmp -s out.jar out2.jar || fail "two runs gave different jars"

# A recipe whose slots are swapped is refused and nothing is written.
sed -e 's/找到 {0} 个文件，位于 demo{1}！/找到 {1} 个文件，位于 demo{0}！/' zh.po > bad.po
set +e
"$cli" apply app.jar bad.po bad.jar 2>bad.log
status=$?
set -e
[ $status -eq 1 ] || fail "a reordered recipe gave exit $status"
[ ! -e bad.jar ] || fail "a refused catalogue still wrote output"

# Signed: the signature files go (with a warning), the manifest stays, the jar runs.
"$keytool" -genkeypair -keystore keys.p12 -storetype PKCS12 -storepass secret1 -keypass secret1 -alias demo \
    -dname CN=demo -keyalg RSA -keysize 2048 -validity 2 >/dev/null 2>&1
cp app.jar signed.jar
"$jarsigner" -keystore keys.p12 -storepass secret1 signed.jar demo >/dev/null 2>&1
# Listings are read whole first: grep -q leaving a pipe early would fail the pipeline.
signed_list=$(unzip -Z1 signed.jar)
grep -q '^META-INF/DEMO.SF$' <<< "$signed_list" || fail "jarsigner did not sign"
"$cli" apply signed.jar zh.po signed-out.jar 2>signed.log || fail "apply on the signed jar failed: $(cat signed.log)"
grep -q 'META-INF/DEMO.SF' signed.log || fail "no warning naming the dropped signature files"
out_list=$(unzip -Z1 signed-out.jar)
if grep -q '^META-INF/DEMO\.' <<< "$out_list"; then fail "signature files were kept"; fi
grep -q '^META-INF/MANIFEST.MF$' <<< "$out_list" || fail "the manifest was dropped"
cmp -s <(unzip -p signed.jar META-INF/MANIFEST.MF) <(unzip -p signed-out.jar META-INF/MANIFEST.MF) ||
    fail "the manifest changed"
[ "$(run_jar signed-out.jar)" = "$expected" ] || fail "unexpected output from the signed jar"

# Nothing to change: the signed jar is copied whole.
: > empty.po
"$cli" apply signed.jar empty.po same.jar 2>/dev/null || fail "apply of an empty catalogue failed"
cmp -s signed.jar same.jar || fail "an unchanged signed jar was rewritten"
echo "program round trip: OK"

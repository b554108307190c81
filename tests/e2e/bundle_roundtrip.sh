#!/bin/bash
# A program that shows its texts from resource bundles: one family with locale suffixes
# (demo/Messages.properties, demo/Messages_de.properties), one with a folder per language
# (lang/en/menu.properties, lang/de/menu.properties), and a configuration file that is no
# bundle. The catalogue offers the bundle texts and no key, no configuration value; apply writes
# a variant for zh_CN in each family's layout; java shows the translations in zh_CN and the
# English texts in en_US. Then the same program installed as a folder (a jar and its language
# files beside it), translated to a new folder and in place. Last, a program that names its
# language itself and ships Own_zh: the translation goes into Own_zh, or with --bundles base into
# Own.properties.
# Usage: bundle_roundtrip.sh CLASSLINGO_CLI JAVAC JAVA
set -euo pipefail

cli=$(realpath "$1") javac=$2 java=$3
bindir=$(dirname "$(realpath "$javac")")
jar="$bindir/jar"
source "$(dirname "$(realpath "$0")")/scratch.sh"

mkdir -p src/demo classes/demo classes/lang/en classes/lang/de
cat > src/demo/App.java <<'JAVA'
package demo;

import java.io.InputStream;
import java.io.InputStreamReader;
import java.nio.charset.StandardCharsets;
import java.text.MessageFormat;
import java.util.Locale;
import java.util.Properties;
import java.util.ResourceBundle;

public class App {
    // Texts of a folder per language: lang/<language>/menu.properties, English when missing.
    static Properties menu() throws Exception {
        Locale locale = Locale.getDefault();
        String[] tries = {locale.getLanguage() + "_" + locale.getCountry(), locale.getLanguage(), "en"};
        for (String folder : tries) {
            InputStream in = App.class.getResourceAsStream("/lang/" + folder + "/menu.properties");
            if (in != null) {
                Properties p = new Properties();
                p.load(new InputStreamReader(in, StandardCharsets.UTF_8));
                return p;
            }
        }
        throw new IllegalStateException("no menu");
    }

    public static void main(String[] args) throws Exception {
        ResourceBundle messages = ResourceBundle.getBundle("demo.Messages");
        Properties config = new Properties();
        config.load(App.class.getResourceAsStream("/config.properties"));
        System.out.println(messages.getString("greeting"));
        System.out.println(MessageFormat.format(messages.getString("files"), 3, config.getProperty("folder")));
        System.out.println(menu().getProperty("file.open"));
        System.out.println(messages.getString("open.mnemonic"));
    }
}
JAVA
"$javac" -encoding UTF-8 -d classes src/demo/App.java
printf 'greeting=Welcome to the shop\nfiles=Found {0} files in {1}\nopen.mnemonic=O\n# What the program names its folder.\nfolder.name=Folder\n' \
    > classes/demo/Messages.properties
printf 'greeting=Willkommen im Laden\nfiles={0} Dateien in {1} gefunden\nopen.mnemonic=F\nfolder.name=Ordner\n' \
    > classes/demo/Messages_de.properties
printf 'file.open=Open a file\nfile.quit=Quit the program\n' > classes/lang/en/menu.properties
printf 'file.open=Datei \\u00f6ffnen\nfile.quit=Programm beenden\n' > classes/lang/de/menu.properties
printf 'folder=docs\nlog.level=Info text of the configuration\n' > classes/config.properties
printf 'Main-Class: demo.App\n' > manifest.txt
(cd classes && "$jar" cfm ../app.jar ../manifest.txt .)

run() {
    local language=$1 country=$2 program=$3
    "$java" -Duser.language="$language" -Duser.country="$country" -Dfile.encoding=UTF-8 -Dstdout.encoding=UTF-8 \
        -Dsun.stdout.encoding=UTF-8 -jar "$program"
}
english=$'Welcome to the shop\nFound 3 files in docs\nOpen a file\nO'
[ "$(run en US app.jar)" = "$english" ] || fail "unexpected output before:"$'\n'"$(run en US app.jar)"

"$cli" extract app.jar app.po 2>extract.log || fail "extract failed: $(cat extract.log)"
for text in "Welcome to the shop" "Found {0} files in {1}" "Open a file" "Quit the program" "Folder"; do
    grep -q "^msgid \"$text\"\$" app.po || fail "not offered: $text"$'\n'"$(cat app.po)"
done
for text in "greeting" "files" "O" "docs" "Info text of the configuration" "file.open" "demo.Messages" \
    "/config.properties" "/lang/" "folder"; do
    if grep -q "^msgid \"$text\"\$" app.po; then fail "offered, but the program reads it: $text"; fi
done
grep -q '^#: demo/Messages.properties:greeting$' app.po || fail "no reference to the bundle's file and key"
grep -B3 '^msgid "Found {0} files in {1}"$' app.po | grep -q '^#, java-format$' || fail "no java-format flag"
if command -v msgfmt >/dev/null; then
    msgfmt --check -o /dev/null app.po || fail "msgfmt rejects the catalogue"
fi

translate() {
    sed -e '/^msgid "Welcome to the shop"$/{n;s/.*/msgstr "欢迎光临"/}' \
        -e '/^msgid "Found {0} files in {1}"$/{n;s/.*/msgstr "在 {1} 中找到 {0} 个文件"/}' \
        -e '/^msgid "Open a file"$/{n;s/.*/msgstr "打开文件"/}' "$1"
}
translate app.po > zh.po

"$cli" apply app.jar zh.po out.jar 2>apply.log || fail "apply failed: $(cat apply.log)"
list=$(unzip -Z1 out.jar)
grep -q '^demo/Messages_zh_CN.properties$' <<< "$list" || fail "no zh_CN variant of demo.Messages:"$'\n'"$list"
grep -q '^lang/zh/menu.properties$' <<< "$list" || fail "no lang/zh folder variant:"$'\n'"$list"
# The new variant follows its source in the archive.
after=$(grep -A1 '^demo/Messages.properties$' <<< "$list" | tail -1)
[ "$after" = "demo/Messages_zh_CN.properties" ] || fail "the variant does not follow its source: $after"
unzip -t out.jar >/dev/null || fail "unzip -t rejects the output"
# ASCII only, every key of the source in its order, its comment kept.
variant=$(unzip -p out.jar demo/Messages_zh_CN.properties)
LC_ALL=C grep -q '[^ -~]' <<< "$variant" && fail "the variant is not ASCII:"$'\n'"$variant"
[ "$(grep -v '^#' <<< "$variant" | cut -d= -f1 | tr '\n' ' ')" = "greeting files open.mnemonic folder.name " ] ||
    fail "keys out of order:"$'\n'"$variant"
grep -q "^# What the program names its folder.$" <<< "$variant" || fail "the comment was lost"

chinese=$'欢迎光临\n在 docs 中找到 3 个文件\n打开文件\nO'
[ "$(run zh CN out.jar)" = "$chinese" ] || fail "unexpected output in zh_CN:"$'\n'"$(run zh CN out.jar)"
[ "$(run en US out.jar)" = "$english" ] || fail "unexpected output in en_US:"$'\n'"$(run en US out.jar)"
[ "$(run de DE out.jar)" = $'Willkommen im Laden\n3 Dateien in docs gefunden\nDatei öffnen\nF' ] ||
    fail "unexpected output in de_DE:"$'\n'"$(run de DE out.jar)"

# A MessageFormat translation whose arguments differ is refused, and nothing is written.
sed -e 's/在 {1} 中找到 {0} 个文件/找到 {0} 个文件/' zh.po > bad.po
set +e
"$cli" apply app.jar bad.po bad.jar 2>bad.log
status=$?
set -e
[ $status -eq 1 ] || fail "a translation missing an argument gave exit $status"
[ ! -e bad.jar ] || fail "a refused catalogue still wrote output"
grep -q 'demo/Messages.properties:files' bad.log || fail "the refusal does not name the bundle's file and key: $(cat bad.log)"

# The program's own Chinese start: extracting the translated program fills the catalogue.
"$cli" extract out.jar again.po 2>again.log || fail "extract of the output failed"
grep -A1 '^msgid "Welcome to the shop"$' again.po | grep -q '^msgstr "欢迎光临"$' ||
    fail "the program's own zh_CN text did not fill the catalogue"

# Installed as a folder: the jar with its bundles, and a language folder beside it that the
# program does not read but a translator would (its family is found across the folder).
mkdir -p installed/lib installed/language
cp app.jar installed/lib/app.jar
printf 'title=Shop window title\n' > installed/language/Texts.properties
printf 'title=Fenstertitel\n' > installed/language/Texts_de.properties
printf '#!/bin/sh\nexec java -jar lib/app.jar\n' > installed/run.sh
chmod 755 installed/run.sh
"$cli" extract installed installed.po 2>/dev/null || fail "extract of the folder failed"
grep -q '^#: lib/app.jar!/demo/Messages.properties:greeting$' installed.po || fail "no bundle reference inside the folder's jar"
grep -q '^msgid "Shop window title"$' installed.po || fail "the folder's own bundle is not offered"
sed -e '/^msgid "Shop window title"$/{n;s/.*/msgstr "商店窗口标题"/}' <(translate installed.po) > installed-zh.po
"$cli" apply installed installed-zh.po translated 2>folder.log || fail "apply to a folder failed: $(cat folder.log)"
[ -x translated/run.sh ] || fail "the launcher lost its mode"
[ -e translated/language/Texts_zh_CN.properties ] || fail "no variant beside the folder's bundle"
[ "$(run zh CN translated/lib/app.jar)" = "$chinese" ] || fail "the folder's jar shows no translation"
cmp -s installed/lib/app.jar app.jar || fail "the input folder changed"

# In place: only what changes is replaced; the originals go under installed.bak/.
"$cli" apply --in-place installed installed-zh.po 2>inplace.log || fail "apply --in-place failed: $(cat inplace.log)"
[ "$(run zh CN installed/lib/app.jar)" = "$chinese" ] || fail "the jar in place shows no translation"
cmp -s installed.bak/lib/app.jar app.jar || fail "the original jar is not kept in installed.bak"
[ -e installed/language/Texts_zh_CN.properties ] || fail "no variant written in place"
[ ! -e installed.bak/run.sh ] || fail "an unchanged file was backed up"
# A program that names its language itself (Locale("zh")) and ships its Chinese as Own_zh: the
# translation goes into that file, which a lookup in zh and one in zh_CN both read. With
# --bundles base it goes into Own.properties, which a program set to English reads; Own_zh still
# holds its old greeting, which a lookup in zh reads first, and the summary says so.
mkdir -p own/src/demo own/classes/demo
cat > own/src/demo/Own.java <<'JAVA'
package demo;

import java.util.Locale;
import java.util.ResourceBundle;

public class Own {
    public static void main(String[] args) {
        ResourceBundle texts = ResourceBundle.getBundle("demo.Own", Locale.forLanguageTag(args[0]));
        System.out.println(texts.getString("greeting") + "|" + texts.getString("farewell"));
    }
}
JAVA
"$javac" -encoding UTF-8 -d own/classes own/src/demo/Own.java
printf 'greeting=Welcome back\nfarewell=Goodbye for now\n' > own/classes/demo/Own.properties
printf 'greeting=\\u65e7\\u7684\\u6b22\\u8fce\n' > own/classes/demo/Own_zh.properties
(cd own/classes && "$jar" cf ../../own.jar .)
"$cli" extract own.jar own.po 2>own-extract.log || fail "extract of own.jar failed: $(cat own-extract.log)"
sed -e '/^msgid "Welcome back"$/{n;s/.*/msgstr "欢迎回来"/}' -e '/^msgid "Goodbye for now"$/{n;s/.*/msgstr "再见了"/}' \
    own.po > own-zh.po
own() {
    "$java" -Duser.language="$1" -Duser.country="$2" -Dfile.encoding=UTF-8 -Dstdout.encoding=UTF-8 \
        -Dsun.stdout.encoding=UTF-8 -cp "$3" demo.Own "$4"
}
"$cli" apply own.jar own-zh.po own-variant.jar 2>own-variant.log || fail "apply to own.jar failed: $(cat own-variant.log)"
unzip -Z1 own-variant.jar | grep -q '^demo/Own_zh_CN.properties$' && fail "a zh_CN file was added beside Own_zh"
grep -q '写入“demo/Own_zh.properties”（程序原有的文件' own-variant.log || fail "the summary does not name Own_zh: $(cat own-variant.log)"
for tag in zh zh-CN; do
    [ "$(own zh CN own-variant.jar $tag)" = "欢迎回来|再见了" ] ||
        fail "a lookup in $tag does not see the translation: $(own zh CN own-variant.jar $tag)"
done
[ "$(own en US own-variant.jar en)" = "Welcome back|Goodbye for now" ] || fail "English changed: $(own en US own-variant.jar en)"

"$cli" apply --bundles base own.jar own-zh.po own-base.jar 2>own-base.log || fail "apply --bundles base failed: $(cat own-base.log)"
[ "$(unzip -Z1 own-base.jar | sort | tr '\n' ' ')" = "$(unzip -Z1 own.jar | sort | tr '\n' ' ')" ] ||
    fail "--bundles base added or dropped a file"
[ "$(own en US own-base.jar en)" = "欢迎回来|再见了" ] || fail "a program set to English does not see the translation"
[ "$(own zh CN own-base.jar zh)" = "旧的欢迎|再见了" ] || fail "Own_zh no longer comes first in zh: $(own zh CN own-base.jar zh)"
grep -q '写入“demo/Own.properties”.*读不到其中 1 条：程序自带的“demo/Own_zh.properties”先被读到' own-base.log ||
    fail "the summary does not say Own_zh hides the greeting: $(cat own-base.log)"
echo "bundle round trip: OK"

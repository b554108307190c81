#!/bin/bash
# Desktop programs nobody here tuned the analysis for (tests/e2e/unseen/programs.tsv), each
# translated the way a translator who fills every offered entry would, then started under Xvfb
# with the Swing probe (tests/e2e/probe) three times, each on a scratch home:
#   a  the original, in English: the texts it shows and the exceptions it has anyway;
#   b  the translated copy in zh_CN on a fresh home: how many of its texts show translated, and
#      which exceptions are new;
#   c  the original again on the home b left: whether the settings the translation wrote are
#      still readable (no new exception, no translated text showing up in the original).
# Goals per program: b starts with no new exception, c is clean, and at least 90% of the
# program's own texts that b shows are translated. Prints a table, keeps every catalogue, probe
# output and report under OUT/<program>/, and exits 1 when a goal fails (after all programs), 77
# when none of the chosen programs is installed.
#
# Usage: unseen_programs.sh [--cli CLASSLINGO_CLI] [--out DIR] [--java JAVA] [--javac JAVAC]
#                           [--skip-missing] [program...]
# Defaults: the build's command line (build/cli/classlingo-cli), /tmp/unseen, java and javac on
# PATH. Without --skip-missing a chosen program that is not installed is a failure.
# scripts/install-unseen-programs installs them.
set -uo pipefail

here=$(dirname "$(realpath "$0")")
root=$(realpath "$here/../..")
cli="$root/build/cli/classlingo-cli"
out=/tmp/unseen
java=$(command -v java || true)
javac=$(command -v javac || true)
skip_missing=0
chosen=()
while [ $# -gt 0 ]; do
    case $1 in
        --cli) cli=$2; shift 2 ;;
        --out) out=$2; shift 2 ;;
        --java) java=$2; shift 2 ;;
        --javac) javac=$2; shift 2 ;;
        --skip-missing) skip_missing=1; shift ;;
        -*) echo "unknown option $1" >&2; exit 2 ;;
        *) chosen+=("$1"); shift ;;
    esac
done
cli=$(realpath "$cli")
mark="汉"
per_run=120
for tool in "$java" "$javac" xvfb-run msgfmt python3; do
    command -v "$tool" >/dev/null || { echo "missing: $tool" >&2; exit 77; }
done
[ -x "$cli" ] || { echo "no command line at $cli" >&2; exit 2; }

# The programs reach for map tiles, updates and plugin lists; they run without a network (a
# network namespace of their own, with only its loopback) where the machine allows it.
offline=""
if unshare -n -- true 2>/dev/null; then offline="unshare -n --"; fi

mkdir -p "$out"
out=$(realpath "$out")
bash "$here/probe/build_probe.sh" "$javac" "$out/swing-probe.jar" || exit 1

# One run: run LETTER DIR HOME LANGUAGE COUNTRY PROGRAM-PATH START CWD OPTIONS
run() {
    local letter=$1 dir=$2 home=$3 language=$4 country=$5 program=$6 start=$7 cwd=$8 options=$9
    mkdir -p "$home/.config" "$home/.local/share" "$home/.cache"
    local words=${start//\{IN\}/$program}
    words=${words//\{HOME\}/$home}
    local opts=${options//\{HOME\}/$home}
    opts=${opts//\{IN\}/$program}
    [ "$opts" = "-" ] && opts=""
    local where=${cwd//\{IN\}/$program}
    [ "$where" = "-" ] && where=$home
    # shellcheck disable=SC2086  # the table's columns and $offline are word lists
    (cd "$where" && HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_DATA_HOME="$home/.local/share" \
        XDG_CACHE_HOME="$home/.cache" LANG=C.UTF-8 LC_ALL=C.UTF-8 \
        timeout -k 10 "$per_run" $offline xvfb-run -a -s "-screen 0 1600x1200x24" \
        "$java" -javaagent:"$out/swing-probe.jar" -Dprobe.texts="$dir/$letter.texts" \
        -Dprobe.exceptions="$dir/$letter.exceptions" -Duser.home="$home" \
        -Duser.language="$language" -Duser.country="$country" -Dfile.encoding=UTF-8 \
        $opts $words) >"$dir/$letter.log" 2>&1 </dev/null
    echo $? > "$dir/$letter.status"
}

table=$'program\tpackage\toffered\tvisible\tmarked\town zh\ttranslated %\tin Chinese %\tnew exceptions (b)\tsettings readable (c)\tverdict'
failed=0 ran=0
while IFS=$'\t' read -r name package input start cwd options language; do
    case $name in ''|'#'*) continue ;; esac
    if [ ${#chosen[@]} -gt 0 ] && [[ ! " ${chosen[*]} " == *" $name "* ]]; then
        continue
    fi
    read -r -a inputs <<<"$input"
    missing=0
    for path in "${inputs[@]}"; do [ -e "$path" ] || missing=1; done
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || [ $missing -eq 1 ]; then
        echo "$name: $package is not installed" >&2
        [ $skip_missing -eq 1 ] || { failed=1; table+=$'\n'"$name"$'\t'"$package"$'\t-\t-\t-\t-\t-\t-\t-\t-\tNOT INSTALLED'; }
        continue
    fi
    ran=1
    dir="$out/$name"
    rm -rf "$dir" && mkdir -p "$dir"
    echo "== $name" >&2
    # A program in several places (classes in a jar, texts in a data folder) is copied into one
    # folder, which the runs of the original then use too. A program installed as a folder
    # reaches out of it by relative paths (Freeplane's framework.jar -> ../knopflerfish/...,
    # its bundles' class path ../../../maven-repo/...): the original's copy and the translated
    # folder each sit in a folder that links to every sibling of the installed one, so that
    # both find what the installed program finds.
    translated=""
    if [ ${#inputs[@]} -gt 1 ]; then
        mkdir "$dir/original"
        for path in "${inputs[@]}"; do cp -rL "$path" "$dir/original/"; done
        input="$dir/original"
    elif [ -d "$input" ]; then
        base=$(basename "$input")
        for side in a b; do
            mkdir -p "$dir/$side"
            for sibling in "$(dirname "$input")"/*; do
                [ "$(basename "$sibling")" = "$base" ] || ln -s "$sibling" "$dir/$side/"
            done
        done
        cp -a "$input" "$dir/a/$base"
        input="$dir/a/$base" translated="$dir/b/$base"
    fi
    if [ -z "$translated" ]; then
        if [ -d "$input" ]; then translated="$dir/translated"; else translated="$dir/translated.${input##*.}"; fi
    fi
    "$cli" extract "$input" "$dir/offered.po" >"$dir/extract.log" 2>&1; echo "extract $?" >"$dir/steps"
    "$cli" extract --all "$input" "$dir/all.po" >"$dir/extract-all.log" 2>&1; echo "extract --all $?" >>"$dir/steps"
    if [ ! -s "$dir/offered.po" ]; then
        failed=1
        table+=$'\n'"$name"$'\t'"$package"$'\t-\t-\t-\t-\t-\t-\t-\t-\tFAIL (extract: '"$(head -c 200 "$dir/extract.log")"')'
        continue
    fi
    python3 "$here/unseen/unseen.py" fill "$mark" "$dir/offered.po" "$dir/filled.po"
    msgfmt -c -o /dev/null "$dir/filled.po" >"$dir/msgfmt.log" 2>&1; echo "msgfmt -c $?" >>"$dir/steps"
    "$cli" apply "$input" "$dir/filled.po" "$translated" >"$dir/apply.log" 2>&1; status=$?
    echo "apply $status" >>"$dir/steps"
    # An entry apply cannot write (a pattern whose translation it would not accept) is one the
    # translator leaves untranslated; the report names them (refused.txt).
    logs=("$dir/apply.log")
    for attempt in 1 2 3; do
        [ $status -eq 1 ] && [ ! -e "$translated" ] || break
        count=$(python3 "$here/unseen/unseen.py" unfill "$mark" "$dir/offered.po" "$dir/filled.po" "${logs[@]}")
        [ "$count" -gt 0 ] || break
        "$cli" apply "$input" "$dir/filled.po" "$translated" >"$dir/apply.$attempt.log" 2>&1; status=$?
        echo "apply again, $count entries left untranslated: $status" >>"$dir/steps"
        logs+=("$dir/apply.$attempt.log")
    done
    grep -h '^译文\|msgid “' "${logs[@]}" > "$dir/refused.txt" || true
    run a "$dir" "$dir/home-a" en US "$input" "$start" "$cwd" "$options"
    # A program that picks its language from its own settings, not from Java's locale, is set
    # to Chinese the way its preferences dialog would (the table's last column).
    if [ -n "${language:-}" ] && [ "$language" != - ]; then
        mkdir -p "$dir/home-b"
        (cd "$dir/home-b" && HOME="$dir/home-b" bash -c "$language") >"$dir/language.log" 2>&1
    fi
    run b "$dir" "$dir/home-b" zh CN "$translated" "$start" "$cwd" "$options"
    run c "$dir" "$dir/home-b" en US "$input" "$start" "$cwd" "$options"
    row=$(python3 "$here/unseen/unseen.py" measure "$mark" "$dir")
    IFS=$'\t' read -r offered visible done own percent chinese new_b settings verdict shown_a <<<"$row"
    if [ "$shown_a" != window ]; then
        verdict="FAIL (the original showed no window)"
    fi
    [ "$verdict" = PASS ] || failed=1
    table+=$'\n'"$name"$'\t'"$package"$'\t'"$offered"$'\t'"$visible"$'\t'"$done"$'\t'"$own"$'\t'"$percent"$'\t'"$chinese"$'\t'"$new_b"$'\t'"$settings"$'\t'"$verdict"
    echo "$row" >&2
done < "$here/unseen/programs.tsv"

[ $ran -eq 1 ] || { echo "none of the programs is installed (scripts/install-unseen-programs)" >&2; exit 77; }
echo "$table" | column -t -s $'\t' | tee "$out/table.txt"
echo "details: $out/<program>/report.txt" >&2
exit $failed

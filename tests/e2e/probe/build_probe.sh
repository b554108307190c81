#!/bin/bash
# Builds the Swing probe agent with the JDK's own javac and jar.
# Usage: build_probe.sh JAVAC OUT.jar
set -euo pipefail
javac=$1 out=$2
here=$(dirname "$(realpath "$0")")
jar="$(dirname "$(realpath "$javac")")/jar"
classes=$(mktemp -d)
trap 'rm -rf "$classes"' EXIT
mkdir "$classes/out"
"$javac" -nowarn --release 11 -d "$classes/out" "$here/SwingProbe.java"
printf 'Premain-Class: SwingProbe\n' > "$classes/manifest.txt"
"$jar" cfm "$out" "$classes/manifest.txt" -C "$classes/out" .

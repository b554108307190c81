# Sourced by the round-trip scripts once their arguments are read: a scratch folder that is
# removed on exit and made the current one, and fail MESSAGE, which ends the test.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

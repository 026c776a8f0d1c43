#!/usr/bin/env bash
# command_line_test.sh BIN_DIR VERSION: every program answers --help and --version on
# standard output with status 0, and meets an unknown option with one line on standard error
# and status 2; the options that take values still reach the program.
set -uo pipefail
bin=$1
version=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Qt's offscreen platform warns on standard error without a runtime folder.
export XDG_RUNTIME_DIR=$work/run
mkdir -m 700 "$XDG_RUNTIME_DIR"
failures=0

fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# expect STATUS LINES PATTERN -- COMMAND...: runs COMMAND; checks its status, the number of
# lines it wrote to the stream the status implies (stdout for 0, stderr otherwise) and that
# they match PATTERN (an extended regular expression).
expect() {
    local status=$1 lines=$2 pattern=$3
    shift 4
    "$@" >"$work/out" 2>"$work/err"
    local got=$?
    local stream=$work/out
    [ "$status" -ne 0 ] && stream=$work/err
    if [ "$got" -ne "$status" ]; then
        fail "$* exited $got, not $status: $(cat "$work/err")"
    elif [ "$lines" != any ] && [ "$(wc -l <"$stream")" -ne "$lines" ]; then
        fail "$* wrote $(wc -l <"$stream") lines, not $lines: $(cat "$stream")"
    elif ! grep -Eq -e "$pattern" "$stream"; then
        fail "$* did not write /$pattern/: $(cat "$stream")"
    fi
}

for program in tallymerge tallymerge-admin tallymerge-sample tallymerge-check; do
    # No display and no setting of Qt's: the window program answers these before it would
    # need a display.
    nodisplay=(env -i PATH="$PATH" HOME="$HOME")
    expect 0 1 "^$program $version\$" -- "${nodisplay[@]}" "$bin/$program" --version
    expect 0 any "^Usage: .*$program" -- "${nodisplay[@]}" "$bin/$program" --help
    expect 0 any "--version +Displays version information" -- "$bin/$program" -h
    expect 2 1 "^$program: Unknown option 'frobnicate'\. Usage: $program " -- \
        "${nodisplay[@]}" "$bin/$program" --frobnicate
done

# Qt's own options, with one dash or two, are left to Qt and do not hide the program's.
expect 0 1 "^tallymerge $version\$" -- \
    "$bin/tallymerge" -platform offscreen --style=Fusion -reverse --version
expect 2 1 "^tallymerge: Unknown option 'bogus'\. Usage: " -- \
    "${nodisplay[@]}" "$bin/tallymerge" -platform offscreen --bogus

# No display at all: told in one sentence, not Qt's abort.
expect 1 1 "^tallymerge: there is no display to show the window on" -- \
    "${nodisplay[@]}" "$bin/tallymerge"

expect 2 1 "^tallymerge: Unexpected argument 'invoice.db'\. Usage: " -- \
    "${nodisplay[@]}" "$bin/tallymerge" invoice.db
expect 2 1 "^tallymerge-admin: Missing value after '--site'\." -- "$bin/tallymerge-admin" --site
expect 1 1 "^No site is set up in the folder $work/nowhere\.\$" -- \
    "$bin/tallymerge-admin" --site "$work/nowhere" disable CLERK
expect 2 1 "^tallymerge-sample: --orders takes a number of orders\. Usage: " -- \
    "$bin/tallymerge-sample" --orders many "$work/site"
expect 2 1 "^tallymerge-sample: --oe takes 55A or 56A\." -- \
    "$bin/tallymerge-sample" --oe 57A "$work/site"
expect 2 1 "^tallymerge-sample: One folder is needed\." -- \
    "$bin/tallymerge-sample" --fast "$work/a" "$work/b"
[ -e "$work/site" ] && fail "a refused command line made a site"
expect 0 any "^Sample site with company SAMINC made in $work/site\.\$" -- \
    "$bin/tallymerge-sample" --fast --orders 2 --no-oe "$work/site"
[ -f "$work/site/system.db" ] || fail "tallymerge-sample --orders 2 made no site"

# tallymerge-admin: an unknown command is named as such even without a site; blank IDs and
# names, and --group without its name, are refused and make nothing.
expect 2 any "^usage: tallymerge-admin " -- "$bin/tallymerge-admin" --site "$work/nowhere" frobnicate
expect 1 1 "^--group needs the name of a group\.\$" -- \
    env -C "$work" "$bin/tallymerge-admin" secure --group
[ -e "$work/--group" ] && fail "secure --group made a folder named --group"
expect 1 1 "^A user's name cannot be blank; " -- \
    "$bin/tallymerge-admin" --site "$work/site" add-user NEWBIE ""
expect 1 1 "^A user ID cannot be blank\.\$" -- \
    "$bin/tallymerge-admin" --site "$work/site" set-password ""

expect 2 1 "^tallymerge-check: One company file, or --site and one company ID, is needed\. " -- \
    "$bin/tallymerge-check"
expect 2 1 "^The company file \"$work/none.db\" does not exist\.\$" -- \
    "$bin/tallymerge-check" "$work/none.db"

[ "$failures" -eq 0 ] && echo "all command lines answered as expected"
exit $((failures > 0))

#!/usr/bin/env bash
# Backs up the books of a site on a database server, and restores them.
#
#   server-backup.sh dump CONNINFO FILE      the site's database into FILE
#   server-backup.sh restore FILE CONNINFO   FILE into an empty database, then the auditor
#
# CONNINFO is the site's libpq connection string (as tallymerge-admin takes it); give the
# password by libpq's usual means (~/.pgpass or PGPASSWORD), not in the string, which other
# users of the machine can see in the process list.
#
# dump: pg_dump's custom format of the whole database, the site's schema and every
# company's, as one moment of the books: clerks may go on working meanwhile.
# restore: refuses a database that holds a site already; restores in one transaction, so the
# database holds all of the backup or nothing of it, with every table owned by the login
# that restores; then runs the books' auditor (tallymerge-check, or the program that
# TALLYMERGE_CHECK names) on every company of the restored site.
#
# Exit status: 0 done (and, after a restore, the auditor found the books in agreement),
# 1 the auditor found a problem, 2 a bad command line or a dump or restore that failed.
set -euo pipefail

usage() {
    echo "usage: server-backup.sh dump CONNINFO FILE | restore FILE CONNINFO" >&2
    exit 2
}

fail() {
    echo "server-backup.sh: $*" >&2
    exit 2
}

# One value of a query, without psql's start-up file.
query() {
    psql --no-psqlrc --quiet --no-align --tuples-only --set=ON_ERROR_STOP=1 \
        --dbname="$1" --command="$2"
}

dump() {
    local conninfo=$1 file=$2
    # A database without the site is no backup of books.
    local sites
    sites=$(query "$conninfo" "SELECT COUNT(*) FROM pg_namespace WHERE nspname = 'tallymerge_site'") ||
        fail "the database cannot be read; nothing was written."
    [ "$sites" = 1 ] || fail "no site is set up in that database; nothing was written."
    # Written beside the file first, so that a dump that fails leaves an older backup whole;
    # the books are for the account that dumps them only, whatever its umask.
    local partial="$file.partial"
    umask 077
    if ! pg_dump --format=custom --file="$partial" --dbname="$conninfo"; then
        rm -f "$partial"
        fail "the dump failed; nothing was written."
    fi
    mv -f "$partial" "$file"
    echo "The site's books were written to $file."
}

restore() {
    local file=$1 conninfo=$2
    [ -r "$file" ] || fail "$file cannot be read."
    local taken
    taken=$(query "$conninfo" "SELECT COUNT(*) FROM pg_namespace WHERE nspname = 'tallymerge_site' OR nspname LIKE 'company\_%'") ||
        fail "the database cannot be read; nothing was restored."
    [ "$taken" = 0 ] || fail "that database holds a site already; restore into a new, empty database."
    pg_restore --single-transaction --exit-on-error --no-owner --dbname="$conninfo" "$file" ||
        fail "the restore failed; nothing of it was kept."
    local check=${TALLYMERGE_CHECK:-tallymerge-check}
    local status=0 company
    for company in $(query "$conninfo" "SELECT id FROM tallymerge_site.companies ORDER BY id"); do
        if "$check" --site "$conninfo" "$company"; then
            echo "Company $company was restored; its books agree."
        else
            echo "Company $company was restored; the auditor found the problems above." >&2
            status=1
        fi
    done
    return $status
}

[ $# -eq 3 ] || usage
case $1 in
dump) dump "$2" "$3" ;;
restore) restore "$2" "$3" ;;
*) usage ;;
esac

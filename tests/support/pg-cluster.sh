#!/bin/sh
# A private PostgreSQL cluster for the tests: start DIR | stop DIR.
#
# The cluster lives in DIR/data and listens only on a Unix socket in DIR
# (no TCP). Its superuser is "velmora", trusted on that socket. Run as root,
# the server runs as the postgres system user, which owns DIR.
set -eu
action=$1
dir=$2
bin=$(ls -d /usr/lib/postgresql/*/bin | sort -V | tail -n 1)

as_server() {
    if [ "$(id -u)" -eq 0 ]; then
        runuser -u postgres -- "$@"
    else
        "$@"
    fi
}

case "$action" in
start)
    if [ -f "$dir/data/postmaster.pid" ]; then
        as_server "$bin/pg_ctl" -D "$dir/data" -m immediate stop >/dev/null 2>&1 || true
    fi
    rm -rf "$dir"
    mkdir -p "$dir"
    if [ "$(id -u)" -eq 0 ]; then
        chown postgres: "$dir"
    fi
    as_server "$bin/initdb" -D "$dir/data" -U velmora --auth=trust --encoding=UTF8 --locale=C.UTF-8 >"$dir/initdb.log"
    # Autovacuum is off so that no test's plans depend on when the server
    # happened to analyse a table (a small table analysed is read whole).
    # The superuser and the read-only role "okur" are trusted; every other
    # role signs in with a password (scram-sha-256).
    printf 'local all velmora,okur trust\nlocal all all scram-sha-256\n' >"$dir/pg_hba.conf"
    as_server cp "$dir/pg_hba.conf" "$dir/data/pg_hba.conf"
    as_server "$bin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w \
        -o "-c listen_addresses='' -c unix_socket_directories='$dir' -c fsync=off -c autovacuum=off" start >/dev/null
    ;;
stop)
    if [ -f "$dir/data/postmaster.pid" ]; then
        as_server "$bin/pg_ctl" -D "$dir/data" -m fast -w stop >/dev/null
    fi
    ;;
restart)
    as_server "$bin/pg_ctl" -D "$dir/data" -m fast -w restart >/dev/null
    ;;
*)
    echo "usage: $0 start|stop|restart DIR" >&2
    exit 2
    ;;
esac

# Sourced by the server scripts: what the servers, plain and with TLS, have in common.
#
# A server keeps everything it reads or writes (its
# configuration, logs, mail folders, upload folder, docroot) in a fresh folder of its own
# under /tmp, made at start and removed at stop. Its unprivileged users (nobody, the FTP
# account) must reach that folder, which they cannot do inside a checkout that lives under
# a private folder (a home directory, a mktemp -d folder); the path has no blank in it
# either, whatever the checkout's path holds. The state folder given on the command line
# (in the build tree) keeps only:
#   run_dir    the path of the server's folder
#   run        a link to it, for a look at the live logs
#   NAME.env   what the tests read: port, user, and the server's folders
#   *.log      the server's logs, copied back at stop
# Needs: $dir (the state folder, absolute) and $name (dovecot, vsftpd, nginx, and the same
# with -tls).

# Where the servers listen: VDL_LISTEN_ADDRESS=::1 puts them on the IPv6 loopback only;
# 127.0.0.1 by default. Exported for the Python helpers below.
address=${VDL_LISTEN_ADDRESS:-127.0.0.1}
export VDL_LISTEN_ADDRESS=$address

# /tmp, not $TMPDIR: a per-user temporary folder is private again, and dovecot's socket
# paths must stay short.
run_parent=/tmp

# Makes the server's folder, readable and enterable by every user; sets $run.
make_run_dir() {
  [ -d "$run_parent" ] && [ -w "$run_parent" ] && [ -x "$run_parent" ] || {
    echo "$name: cannot make a folder in $run_parent (it must exist and be writable)" >&2
    exit 1
  }
  # The servers' users must enter it: a /tmp that only its owner enters blocks them.
  [ -n "$(find "$run_parent" -maxdepth 0 -perm -o+x)" ] || {
    echo "$name: $run_parent is closed to other users (chmod 1777 $run_parent)" >&2
    exit 1
  }
  run=$(mktemp -d "$run_parent/vdl-$name.XXXXXX")
  chmod 755 "$run"
  echo "$run" >"$dir/run_dir"
  ln -sfn "$run" "$dir/run"
}

# The server's folder of the last start, when it is still there; empty otherwise.
current_run_dir() {
  local r=
  [ -f "$dir/run_dir" ] && r=$(cat "$dir/run_dir")
  case "$r" in
    "$run_parent"/vdl-"$name".??????) [ -d "$r" ] && echo "$r" ;;
  esac
  return 0
}

# Keeps the logs beside the state, then removes the server's folder and the pointers to it.
remove_run_dir() {
  local r=$1
  if [ -n "$r" ]; then
    for log in "$r"/*.log "$r"/*.out; do
      [ -f "$log" ] && cp -f "$log" "$dir/" 2>/dev/null || true
    done
    rm -rf "$r"
  fi
  rm -f "$dir/run_dir" "$dir/run"
}

# Kills the process whose id is in FILE and waits up to 10 s for it to end.
kill_pid_file() {
  [ -f "$1" ] || return 0
  local pid
  pid=$(cat "$1")
  if [ -n "$pid" ] && kill "$pid" 2>/dev/null; then
    for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  fi
  rm -f "$1"
}

# A free port on the listen address.
free_port() {
  python3 -c 'import os, socket; a=os.environ["VDL_LISTEN_ADDRESS"]; s=socket.socket(socket.AF_INET6 if ":" in a else socket.AF_INET); s.bind((a, 0)); print(s.getsockname()[1])'
}

# free_range LOW HIGH COUNT: the first of COUNT consecutive free ports in [LOW, HIGH), below
# the system's ephemeral range, so that passive data ports do not collide with the
# clients' own ports.
free_range() {
  python3 - "$@" <<'PY'
import os, random, socket, sys
address = os.environ["VDL_LISTEN_ADDRESS"]
low, high, count = (int(a) for a in sys.argv[1:4])
for _ in range(200):
    base = random.randrange(low, high - count)
    socks = []
    try:
        for p in range(base, base + count):
            s = socket.socket(socket.AF_INET6 if ":" in address else socket.AF_INET)
            s.bind((address, p))
            socks.append(s)
        print(base)
        sys.exit(0)
    except OSError:
        pass
    finally:
        for s in socks:
            s.close()
sys.exit(1)
PY
}

# answers PORT [REQUEST] [GREETING]: waits up to about 10 s until the port accepts a
# connection and, when GREETING is given, its first bytes (after REQUEST, if any) start
# with GREETING; false when it does not.
answers() {
  python3 - "$@" <<'PY'
import os, socket, sys, time
port = int(sys.argv[1])
request = sys.argv[2].encode() if len(sys.argv) > 2 else b""
greeting = sys.argv[3].encode() if len(sys.argv) > 3 else b""
for _ in range(100):
    try:
        with socket.create_connection((os.environ["VDL_LISTEN_ADDRESS"], port), timeout=2) as s:
            if request:
                s.sendall(request)
            if not greeting or s.recv(100).startswith(greeting):
                sys.exit(0)
    except OSError:
        pass
    time.sleep(0.1)
sys.exit(1)
PY
}

# take_certs [CERTS] [NAMES...]: the TLS servers' certificates, $certs afterwards (absolute):
# those made by tls-certs in CERTS, or made afresh in $dir/certs when none is given. Fails
# when one of NAMES (default: server) has no certificate there.
take_certs() {
  certs=${1:-}
  shift || true
  if [ -z "$certs" ]; then
    certs=$dir/certs
    "$(dirname "${BASH_SOURCE[0]}")/tls-certs" "$certs"
  fi
  local n
  for n in "${@:-server}"; do
    [ -f "$certs/$n.pem" ] && [ -f "$certs/certs.env" ] ||
      { echo "$name: no certificates in $certs (make them with scripts/servers/tls-certs)" >&2; exit 1; }
  done
  certs=$(cd "$certs" && pwd)
}

# copy_certs NAMES...: copies the named certificates and keys into $run/certs, readable by
# the server's unprivileged processes.
copy_certs() {
  mkdir -p -m 755 "$run/certs"
  local n
  for n in "$@"; do cp "$certs/$n.pem" "$certs/$n.key" "$run/certs/"; done
  chmod 644 "$run/certs"/*
}

# ensure_account USER PASSWORD: the system account an FTP server logs in (made on first
# use, which needs root). A cheap hash: the system's default (yescrypt) makes every login
# cost the server 150-650 ms of CPU here, which would swamp the figures of the poll-cycle
# benchmarks.
ensure_account() {
  # Other server scripts may change the account files at the same moment.
  (
    flock 9
    # vsftpd changes to the account's home before it goes on to local_root, so the home
    # must exist; a shell from /etc/shells is needed too, or the PAM stack refuses the user.
    if ! getent passwd "$1" >/dev/null; then
      useradd --system --no-create-home --home-dir / --shell /bin/sh "$1"
    fi
    echo "$1:$2" | chpasswd -c SHA512 -s 1000
  ) 9>/tmp/vdl-accounts.lock
}

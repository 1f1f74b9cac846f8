# Sourced by the server scripts. A server keeps everything it reads or writes (its
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
# Needs: $dir (the state folder, absolute) and $name (dovecot, vsftpd, nginx).

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

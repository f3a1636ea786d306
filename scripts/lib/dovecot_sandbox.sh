#!/usr/bin/env bash
# A throw-away Dovecot POP3 server on 127.0.0.1 with everything (settings,
# users, mail, logs, sockets) inside one folder. Used by the peer tests and
# the demo.
#
#   dovecot_sandbox.sh add-user DIR NAME PASSWORD   user with a Maildir
#   dovecot_sandbox.sh add-mail DIR NAME FILE       message, numbered after the last
#   dovecot_sandbox.sh tls DIR NAME [self-signed]   a test authority and a server
#                                                   certificate for NAME (host or IP)
#   dovecot_sandbox.sh start DIR [PORT [TLS_PORT]]  prints the port once it greets
#   dovecot_sandbox.sh stop DIR
#
# After `tls`, the server requires TLS (ssl = required): STLS on PORT, TLS
# from the start on TLS_PORT. DIR/tls/ca.pem is the authority to trust
# (SSL_CERT_FILE); with self-signed the certificate signs itself and no
# authority vouches for it.
#
# APOP is on (the greeting carries a time stamp), plain USER/PASS is allowed,
# failed logins are not slowed down. Messages number in the order of their
# file names; UIDLs are the file names. Works as root and as any user.
# DOVECOT=/path/to/dovecot picks another binary.
set -euo pipefail

die() { echo "dovecot_sandbox: $*" >&2; exit 1; }

readonly kGreetingWaitTenths=100   # 10 s for the first greeting
readonly kStopWaitTenths=100       # 10 s for a clean stop before SIGKILL

abs_dir() { mkdir -p "$1" && cd "$1" && pwd; }

maildir() { echo "$1/home/$2/Maildir"; }

# Tries one connection and reads the greeting line; true when it starts "+OK".
greets() {
  local port=$1 line=""
  { exec 7<>"/dev/tcp/127.0.0.1/$port"; } 2>/dev/null || return 1
  IFS= read -r -t 2 line <&7 || true
  exec 7>&- 7<&- || true
  [[ $line == "+OK"* ]]
}

listening() { (exec 7<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }

alive() {
  local pid=$1
  [[ -r /proc/$pid/status ]] || return 1
  # PID 1 in some containers reaps late: a zombie counts as gone.
  ! grep -q '^State:[[:space:]]*Z' "/proc/$pid/status" 2>/dev/null
}

pick_port() {
  local port tries
  for ((tries = 0; tries < 50; tries++)); do
    port=$((20000 + RANDOM % 40000))
    listening "$port" || { echo "$port"; return; }
  done
  die "no free port found"
}

add_user() {
  local dir name=$2 password=$3
  dir=$(abs_dir "$1")
  [[ $name =~ ^[A-Za-z0-9._-]+$ ]] || die "user name '$name': letters, digits, . _ - only"
  [[ $password != *:* && $password != *$'\n'* ]] || die "password may not hold ':' or a line end"
  mkdir -p "$(maildir "$dir" "$name")"/{cur,new,tmp}
  printf '%s:{PLAIN}%s::::::\n' "$name" "$password" >>"$dir/passwd"
}

add_mail() {
  local dir name=$2 file=$3 box last n
  dir=$(abs_dir "$1")
  box=$(maildir "$dir" "$name")
  [[ -d $box/cur ]] || die "no user '$name' in $dir"
  last=$(ls "$box/cur" "$box/new" 2>/dev/null | sed -n 's/^10*\([0-9][0-9]*\)\.M.*/\1/p' | sort -n | tail -1)
  n=$(( ${last:-0} + 1 ))
  cp "$file" "$box/cur/$((1000000000 + n)).M${n}P1.fixture:2,"
}

# Short-lived EC keys and certificates made with the openssl command.
make_tls() {
  local dir name=$2 kind=${3:-} tls san
  dir=$(abs_dir "$1")
  tls="$dir/tls"
  command -v openssl >/dev/null || die "the openssl command is missing (Debian: apt-get install openssl)"
  mkdir -p "$tls"
  if [[ $name =~ ^[0-9.]+$ || $name == *:* ]]; then san="IP:$name"; else san="DNS:$name"; fi
  local key=(-newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes)
  if [[ $kind == self-signed ]]; then
    openssl req -x509 "${key[@]}" -keyout "$tls/server.key" -out "$tls/server.pem" -days 2 \
      -subj "/CN=$name" -addext "subjectAltName=$san" 2>/dev/null || die "openssl req failed"
    # The authority the tests trust is someone else.
    openssl req -x509 "${key[@]}" -keyout "$tls/ca.key" -out "$tls/ca.pem" -days 2 \
      -subj "/CN=Zevrox Sandbox Other CA" 2>/dev/null || die "openssl req failed"
  else
    openssl req -x509 "${key[@]}" -keyout "$tls/ca.key" -out "$tls/ca.pem" -days 2 \
      -subj "/CN=Zevrox Sandbox CA" -addext "basicConstraints=critical,CA:TRUE" \
      -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null || die "openssl req failed"
    openssl req "${key[@]}" -keyout "$tls/server.key" -out "$tls/server.csr" \
      -subj "/CN=$name" 2>/dev/null || die "openssl req failed"
    printf 'subjectAltName=%s\nbasicConstraints=CA:FALSE\nextendedKeyUsage=serverAuth\n' "$san" \
      >"$tls/server.ext"
    openssl x509 -req -in "$tls/server.csr" -CA "$tls/ca.pem" -CAkey "$tls/ca.key" \
      -CAcreateserial -out "$tls/server.pem" -days 2 -extfile "$tls/server.ext" 2>/dev/null ||
      die "openssl x509 failed"
  fi
  chmod 600 "$tls/server.key" "$tls/ca.key"
}

write_config() {
  local dir=$1 port=$2 tls_port=${3:-0} me group
  me=$(id -un)
  group=$(id -gn)
  {
    echo "instance_name = zvrx-sandbox-$(echo "$dir" | cksum | cut -d' ' -f1)"
    echo "protocols = pop3"
    echo "listen = 127.0.0.1"
    echo "base_dir = $dir/run"
    echo "state_dir = $dir/state"
    echo "log_path = $dir/log/dovecot.log"
    echo "info_log_path = $dir/log/dovecot-info.log"
    if [[ -f $dir/tls/server.pem ]]; then
      echo "ssl = required"
      echo "ssl_cert = <$dir/tls/server.pem"
      echo "ssl_key = <$dir/tls/server.key"
      echo "ssl_min_protocol = TLSv1.2"
    else
      echo "ssl = no"
    fi
    echo "disable_plaintext_auth = no"
    echo "auth_mechanisms = plain apop"
    echo "auth_failure_delay = 0"
    echo "first_valid_uid = 1"
    echo "mail_location = maildir:~/Maildir"
    echo "pop3_uidl_format = %f"
    echo "pop3_no_flag_updates = yes"
    echo "passdb {"
    echo "  driver = passwd-file"
    echo "  args = scheme=PLAIN username_format=%u $dir/passwd"
    echo "}"
    if [[ $(id -u) == 0 ]]; then
      # Mail may not be served as uid 0.
      echo "userdb {"
      echo "  driver = static"
      echo "  args = uid=nobody gid=$(id -gn nobody) home=$dir/home/%u"
      echo "}"
      echo "default_login_user = dovenull"
      echo "default_internal_user = dovecot"
    else
      echo "userdb {"
      echo "  driver = static"
      echo "  args = uid=$me gid=$group home=$dir/home/%u"
      echo "}"
      echo "default_login_user = $me"
      echo "default_internal_user = $me"
      echo "default_internal_group = $group"
    fi
    echo "service pop3-login {"
    echo "  inet_listener pop3 {"
    echo "    address = 127.0.0.1"
    echo "    port = $port"
    echo "  }"
    echo "  inet_listener pop3s {"
    echo "    address = 127.0.0.1"
    echo "    port = $tls_port"
    echo "  }"
    [[ $(id -u) == 0 ]] || echo "  chroot ="
    echo "}"
    echo "service anvil {"
    # No growing penalty after failed logins.
    echo "  unix_listener anvil-auth-penalty {"
    echo "    mode = 0"
    echo "  }"
    [[ $(id -u) == 0 ]] || echo "  chroot ="
    echo "}"
    [[ $(id -u) == 0 ]] || printf 'service aggregator {\n  chroot =\n}\n'
  } >"$dir/dovecot.conf"
}

start() {
  local dir port=${2:-0} tls_port=${3:-0} pid i
  dir=$(abs_dir "$1")
  local dovecot_bin=${DOVECOT:-}
  [[ -n $dovecot_bin ]] || dovecot_bin=$(command -v dovecot || echo /usr/sbin/dovecot)
  [[ -x $dovecot_bin ]] ||
    die "dovecot is not installed (Debian: apt-get install dovecot-pop3d)"
  [[ $port != 0 ]] || port=$(pick_port)
  listening "$port" && die "port $port is already in use"
  [[ $tls_port == 0 ]] || ! listening "$tls_port" || die "port $tls_port is already in use"
  [[ -f $dir/passwd ]] || : >"$dir/passwd"
  mkdir -p "$dir/run" "$dir/state" "$dir/log" "$dir/home"
  rm -f "$dir/run/master.pid"
  write_config "$dir" "$port" "$tls_port"
  if [[ $(id -u) == 0 ]]; then
    # The login, auth and mail processes run as other users.
    chmod 755 "$dir" "$dir/home"
    chmod 644 "$dir/passwd"
    [[ ! -d $dir/tls ]] || chmod 755 "$dir/tls"
    chown -R "nobody:$(id -gn nobody)" "$dir/home"
  fi
  "$dovecot_bin" -F -c "$dir/dovecot.conf" >>"$dir/log/stdout.log" 2>&1 &
  pid=$!
  echo "$pid" >"$dir/dovecot.pid"
  echo "$port" >"$dir/port"
  for ((i = 0; i < kGreetingWaitTenths; i++)); do
    if ! alive "$pid"; then
      cat "$dir/log/stdout.log" "$dir/log/dovecot.log" >&2 2>/dev/null || true
      die "dovecot ended at start"
    fi
    greets "$port" && { echo "$port"; return 0; }
    sleep 0.1
  done
  stop "$dir" || true
  die "dovecot did not greet on port $port"
}

stop() {
  local dir pid i
  dir=$(abs_dir "$1")
  [[ -f $dir/dovecot.pid ]] || return 0
  pid=$(cat "$dir/dovecot.pid")
  if alive "$pid"; then
    kill -TERM "$pid" 2>/dev/null || true
    for ((i = 0; i < kStopWaitTenths; i++)); do
      alive "$pid" || break
      sleep 0.1
    done
    alive "$pid" && kill -KILL "$pid" 2>/dev/null || true
  fi
  rm -f "$dir/dovecot.pid" "$dir/run/master.pid"
}

case ${1:-} in
  add-user) [[ $# == 4 ]] || die "usage: add-user DIR NAME PASSWORD"; add_user "$2" "$3" "$4" ;;
  add-mail) [[ $# == 4 ]] || die "usage: add-mail DIR NAME FILE"; add_mail "$2" "$3" "$4" ;;
  tls) [[ $# == 3 || $# == 4 ]] || die "usage: tls DIR NAME [self-signed]"; make_tls "$2" "$3" "${4:-}" ;;
  start) [[ $# -ge 2 && $# -le 4 ]] || die "usage: start DIR [PORT [TLS_PORT]]"; start "$2" "${3:-0}" "${4:-0}" ;;
  stop) [[ $# == 2 ]] || die "usage: stop DIR"; stop "$2" ;;
  *) die "usage: dovecot_sandbox.sh add-user|add-mail|tls|start|stop DIR ..." ;;
esac

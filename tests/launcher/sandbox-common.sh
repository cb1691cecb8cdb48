# Helpers for the launcher's and the mail daemons' sandbox scenarios (sourced).

say() { printf '%s\n' "$*"; }
fail() { printf 'FAIL: %s\n' "$*"; exit 1; }

# True when something accepts a connection on 127.0.0.1:PORT.
port_open() { (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }

# wait_until SECONDS COMMAND...: runs COMMAND every 0.1 s until it succeeds.
wait_until() {
  local tries=$(($1 * 10)); shift
  while ((tries-- > 0)); do
    "$@" && return 0
    sleep 0.1
  done
  return 1
}

# The first line a server on 127.0.0.1:PORT sends.
banner() {
  local line=
  exec 3<>"/dev/tcp/127.0.0.1/$1" || return 1
  read -r -t 5 line <&3
  exec 3<&- 3>&-
  printf '%s\n' "${line%$'\r'}"
}

# The Postfix configuration directory the smtpwarden job starts Postfix with:
# Debian's own main.cf and master.cf, a log file, and no chroot (a bare
# "postfix start" does not fill the chroot jail).
make_postfix_config() {
  local dir=/usr/local/tarnwick/postfix/etc
  mkdir -p "$dir"
  cp /etc/postfix/main.cf /etc/postfix/master.cf "$dir/"
  touch /var/log/mail.log
  postconf -e maillog_file=/var/log/mail.log
  postconf -c "$dir" -e maillog_file=/var/log/mail.log 'smtpd_banner=$myhostname ESMTP Brevane sandbox'
  awk '/^[^#[:space:]]/ && NF >= 8 { $5 = "n" } { print }' "$dir/master.cf" >"$dir/master.cf.new"
  mv "$dir/master.cf.new" "$dir/master.cf"
}

# A local user with a password and a home, as the UW daemons expect.
make_user() {
  useradd -m -s /bin/bash "$1"
  echo "$1:$2" | chpasswd
}

# The ProgramArguments of a launchd property list, one a line.
plist_args() {
  sed -n '/<key>ProgramArguments<\/key>/,/<\/array>/s/.*<string>\(.*\)<\/string>.*/\1/p' "$1"
}

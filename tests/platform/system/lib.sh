# Shared by the platform scenarios, which run as root inside the sandbox.
failures=0

# check WHAT COMMAND...: runs COMMAND, reports WHAT as passed or failed.
check() {
  local what=$1
  shift
  if "$@"; then
    echo "ok: $what"
  else
    echo "FAIL: $what" >&2
    failures=$((failures + 1))
  fi
}

# same WHAT EXPECTED ACTUAL
same() {
  if [[ $2 == "$3" ]]; then
    echo "ok: $1"
  else
    printf 'FAIL: %s\n  expected: %q\n  actual:   %q\n' "$1" "$2" "$3" >&2
    failures=$((failures + 1))
  fi
}

finish() {
  if ((failures)); then
    echo "$failures check(s) failed" >&2
    exit 1
  fi
  echo "all checks passed"
}

# write_job LABEL ARG...: a launchd property list for a test job.
write_job() {
  local label=$1 path=/Library/LaunchDaemons/$1.plist arg
  shift
  {
    echo '<?xml version="1.0" encoding="UTF-8"?>'
    echo '<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">'
    echo '<plist version="1.0">'
    echo '<dict>'
    echo "  <key>Label</key>"
    echo "  <string>$label</string>"
    echo '  <key>ProgramArguments</key>'
    echo '  <array>'
    for arg in "$@"; do
      arg=${arg//'&'/'&amp;'}
      arg=${arg//'<'/'&lt;'}
      echo "    <string>${arg//'>'/'&gt;'}</string>"
    done
    echo '  </array>'
    echo '</dict>'
    echo '</plist>'
  } >"$path"
  echo "$path"
}

# The job-listing probe exactly as the application runs it.
probe() {
  /bin/sh -c "(test \`launchctl list | grep $1 | awk '{print \$3}'\`) && echo YES"
}

job_pid() {
  launchctl list | awk -v label="$1" '$3 == label { print $1 }'
}

zombies() {
  ps -eo stat= | grep -c '^Z' || true
}

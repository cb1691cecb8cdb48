# Regenerates main.cf, master.cf and the maps from the window's 23 values,
# a 24th: "yes" when outgoing mail is signed by OpenDKIM (configure-dkim.sh),
# and a 25th: "yes" when rspamd filters mail (configure-filtering.sh).
# Run as root by "/bin/sh" "-c" with "" as $0, in the resource directory.
#
# Values are expanded without quotes on purpose: blanks collapse to one and
# multi-line values travel as one word with carriage returns. Pathname
# expansion stays off, so "*", "?" and "[" in a value never turn into names
# of files in the working folder.
set -f
# dash's echo turns backslash sequences into control characters; a value
# must reach its file as typed. Same joining of words with one blank.
echo() { printf '%s\n' "$*"; }

currentDir=$1
administrator=$2
myorigin=$3
relayhost=$4
mydestination=$5
access=$6
theAliases=$7
luser_relay=$8
mydomain=$9
sasldb_passwd=${10}
sasl_passwd=${11}
messagesize=${12}
pam=${13}
ssl=${14}
custom=${15}
mailboxsize=${16}
rblSites=${17}
networks_style=${18}
requireSSLState=${19}
requireSSLClientState=${20}
portNos=${21}
virtual=${22}
virtualDomains=${23}
dkimSigning=${24}
filtering=${25}

cd "$currentDir"
config_dir=/usr/local/tarnwick/postfix/etc

# Postfix's programs pause while main.cf is younger than about two seconds
# (to them a file still being written): a main.cf rewritten with the same
# content would hold up every map build and the start after it for nothing.
installIfChanged() {
  cmp -s "$1" "$2" || cp "$1" "$2"
}
dovecot_dir=/usr/local/tarnwick/etc/dovecot

# Custom lines are refused, before anything is written, when they could let
# someone other than root choose what Postfix runs or reads: root starts
# Postfix, and the master runs its daemons as root from the folders these
# lines name. The paths are checked here, as root, at the moment of writing,
# on the values Postfix itself will use ($name references expanded by
# postconf, run as nobody since the lines are not trusted yet).
refuseCustomLine() {
  echo "Refused custom line: $1"
  rm -rf "$customCheck" main.cf.temp
  exit 1
}

# True when only root can change what the path names: every existing part
# of it, as written and with its links resolved, belongs to root (or to
# $leafOwner, for the last part) and is writable by no one else (group
# $leafGroup may write the last part). Parts still missing can then only
# be made by root.
rootOnlyPath() {
  rootOnlyChain "$1" && rootOnlyChain "$(readlink -m -- "$1")"
}
rootOnlyChain() {
  chainPath=
  chainRest=$1/
  while test -n "${chainRest#/}"; do
    chainRest=${chainRest#/}
    chainPath=$chainPath/${chainRest%%/*}
    chainRest=/${chainRest#*/}
    test -e "$chainPath" || test -L "$chainPath" || return 0
    test -L "$chainPath" && continue   # its folder is checked; its target by the resolved chain
    set -- $(stat -c '%u %g %a' -- "$chainPath")
    test "$1" = 0 || { test "${chainRest#/}" = "" && test "$1" = "$leafOwner"; } || return 1
    if test $((0$3 & 020)) != 0; then
      test "$2" = 0 || { test "${chainRest#/}" = "" && test "$2" = "$leafGroup"; } || return 1
    fi
    test $((0$3 & 02)) = 0 || return 1
  done
  return 0
}

# Every path a value names: words split at blanks, commas and quotes; a
# map or variable prefix ("hash:", "LD_PRELOAD=") is not part of the path.
valuePathsAreRootOnly() {
  for word in $(printf '%s' "$1" | tr ',"{}'"'" '     '); do
    case $word in ..|../*|*/..|*/../*|*[=:]../*) return 1 ;; esac
    case $word in
      /*) path=$word ;;
      *[:=]/*) path=/${word#*[:=]/} ;;
      *) continue ;;
    esac
    rootOnlyPath "$path" || return 1
  done
  return 0
}

# Environment handed to Postfix's programs: names only, or the few
# settings that name no code (LD_PRELOAD would load a library as root).
environmentIsPlain() {
  for word in $1; do
    case $word in
      *=*) case ${word%%=*} in LANG|LC_*|TZ|MAIL_LOGTAG|POSTLOG_SERVICE|POSTLOG_HOSTNAME) ;; *) return 1 ;; esac ;;
    esac
  done
}

checkCustomLine() {
  name=$(echo $1) raw=$2
  expanded=$(/usr/bin/setpriv --reuid=nobody --regid=nogroup --clear-groups \
    /usr/sbin/postconf -c "$customCheck" -xh "$name" 2>/dev/null) || return 1
  leafOwner=0 leafGroup=0
  case $name in
    data_directory) leafOwner=$(id -u postfix) ;;
    mail_spool_directory) leafGroup=$(getent group mail | cut -d: -f3) ;;
    mail_owner) test "$expanded" = postfix || return 1 ;;
    setgid_group) test "$expanded" = postdrop || return 1 ;;
    default_privs) test "$expanded" = nobody || return 1 ;;
    import_environment|export_environment) environmentIsPlain "$expanded" || return 1 ;;
    # Folders are absolute: a relative one is found from wherever Postfix
    # happens to run (the pid folder alone lies inside the queue by design).
    process_id_directory) ;;
    *_directory) case $expanded in ""|no|/*) ;; *) return 1 ;; esac ;;
    # A command with shell syntax could run anything as the recipient.
    *_command|local_command_shell)
      case $expanded in *[!A-Za-z0-9\ _./,:=@+\"\${}-]*) return 1 ;; esac ;;
  esac
  valuePathsAreRootOnly "$raw" && valuePathsAreRootOnly "$expanded"
}

# The custom text is expanded once, here, into a file only root can change:
# the lines checked are the very bytes main.cf receives, whatever appears on
# the machine in between.
checkCustomLines() {
  test -n "$custom" || return 0
  customCheck=$(mktemp -d) || refuseCustomLine "(no private folder to check the custom lines in)"
  echo $custom | tr \\r \\n > "$customCheck/custom"
  checkCustomLinesIn $config_dir/main.cf.default "$customCheck/custom"
}

# The lines, each worked out by postconf within the files given as main.cf.
checkCustomLinesIn() {
  cat "$@" > "$customCheck/main.cf"
  chmod 755 "$customCheck"
  chmod 644 "$customCheck/main.cf"
  # Complete and private: postconf need not wait for it to settle.
  touch -d '3 seconds ago' "$customCheck/main.cf"
  # Logical lines: a line starting with a blank continues the one before.
  entry= first=
  while IFS= read -r line || test -n "$line"; do
    case $line in
      [[:space:]]*[![:space:]]*) case ${line#"${line%%[![:space:]]*}"} in \#*) continue ;; esac
         # Before any parameter it would continue one of the tool's own.
         test -n "$first" || refuseCustomLine "$line"
         entry="$entry $line"; continue ;;
      \#*|"") continue ;;
    esac
    test -z "$first" || checkCustomLine "${entry%%=*}" "${entry#*=}" || refuseCustomLine "$first"
    first=$line entry=$line
  done < "$customCheck/custom"
  test -z "$first" || checkCustomLine "${entry%%=*}" "${entry#*=}" || refuseCustomLine "$first"
}

checkCustomLines

# /var/mail keeps Debian's mode (2775 root:mail): local delivery creates
# mailboxes through the mail group, and no user can pre-create another's.

cp $config_dir/main.cf.default main.cf.temp

echo "###Start Brevane###" >> main.cf.temp
echo "biff=no" >> main.cf.temp
echo "alias_maps=hash:$config_dir/aliases" >> main.cf.temp
echo "alias_database=hash:$config_dir/aliases" >> main.cf.temp
echo "smtpd_sender_restrictions=check_sender_access hash:$config_dir/access" >> main.cf.temp
echo "inet_interfaces=all" >> main.cf.temp
echo "message_size_limit=$messagesize" >> main.cf.temp
echo "mailbox_size_limit=$mailboxsize" >> main.cf.temp

if test -n "$networks_style"; then
  echo "mynetworks_style=host" >> main.cf.temp
fi

if test -n "$mydomain"; then
  echo "mydomain=$mydomain" >> main.cf.temp
  echo "myhostname=$mydomain" >> main.cf.temp
fi

if test -n "$myorigin"; then
  echo "myorigin=$myorigin" >> main.cf.temp
  echo "myhostname=postfix.$myorigin" >> main.cf.temp
fi

if test -n "$relayhost"; then
  echo "relayhost=$relayhost" >> main.cf.temp
fi

if test -n "$luser_relay"; then
  echo "local_recipient_maps=" >> main.cf.temp
  echo "luser_relay=$luser_relay" >> main.cf.temp
fi

if test -n "$mydestination"; then
  echo "mydestination=localhost,localhost.\$myhostname,\$myhostname,$mydestination" >> main.cf.temp
fi

if test -e /System/Library/OpenSSL/certs/smtpd.pem && test -e /System/Library/OpenSSL/certs/ipop3d.pem \
   && test -e /System/Library/OpenSSL/certs/imapd.pem && test -n "$ssl" \
   && /usr/bin/openssl x509 -noout -in /System/Library/OpenSSL/certs/smtpd.pem 2>/dev/null; then
  echo "" >> main.cf.temp
  echo "smtpd_use_tls=yes" >> main.cf.temp
  echo "smtpd_tls_cert_file=/System/Library/OpenSSL/certs/smtpd.pem" >> main.cf.temp
  echo 'smtpd_tls_key_file=$smtpd_tls_cert_file' >> main.cf.temp
  echo "tls_random_source=dev:/dev/urandom" >> main.cf.temp
  echo "Enabling SSL for SMTP, POP3, and IMAP"
  # The plain POP3 and IMAP servers read these: STARTTLS, and passwords only
  # after it or from this machine.
  for i in uw_pop3:ipop3d.pem uw_imap:imapd.pem; do
    cert=/System/Library/OpenSSL/certs/${i#*:}
    printf '%s\n' "ssl = yes" "ssl_cert = <$cert" "ssl_key = <$cert" "ssl_dh = </usr/share/dovecot/dh.pem" \
      "disable_plaintext_auth = yes" > $dovecot_dir/${i%%:*}-tls.conf.ext
  done
else
  rm -f $dovecot_dir/uw_pop3-tls.conf.ext $dovecot_dir/uw_imap-tls.conf.ext
fi
# Running servers take the change now (one that is down has nothing to reload).
for i in uw_pop3 uw_imap; do
  /usr/bin/doveadm -c $dovecot_dir/$i.conf reload 2>/dev/null
done

if test -n "$requireSSLState"; then
  echo "smtpd_tls_auth_only=yes" >> main.cf.temp
fi

if test -n "$pam"; then
  echo "" >> main.cf.temp
  echo "smtpd_sasl_auth_enable=yes" >> main.cf.temp
  echo "smtpd_use_pw_server=yes" >> main.cf.temp
  echo "enable_server_options=yes" >> main.cf.temp
  echo "smtpd_pw_server_security_options=plain, login" >> main.cf.temp
  echo "smtpd_sasl_security_options=noanonymous" >> main.cf.temp
  echo "broken_sasl_auth_clients=yes" >> main.cf.temp
  echo "smtpd_recipient_restrictions=permit_sasl_authenticated, permit_mynetworks, reject_unauth_destination, check_recipient_access hash:$config_dir/access" >> main.cf.temp
  echo 'smtpd_sasl_local_domain=$mydomain' >> main.cf.temp
  echo "Enabling SMTP Authentication for the Postfix server using the built-in OS X user accounts"
fi

if test "$sasldb_passwd" = "empty"; then
  rm $config_dir/sasldb_passwd
  rm /etc/sasldb2.db
  sasldb_passwd=""
fi

if test -n "$sasldb_passwd"; then
  echo "" >> main.cf.temp
  echo "smtpd_sasl_auth_enable=yes" >> main.cf.temp
  echo "smtpd_recipient_restrictions=permit_sasl_authenticated, permit_mynetworks, reject_unauth_destination, check_recipient_access hash:$config_dir/access" >> main.cf.temp
  echo 'smtpd_sasl_local_domain=$mydomain' >> main.cf.temp
  # Password lists are born private (umask 077 in a subshell of their own):
  # never readable by others, not even for the moment before the chmod.
  (umask 077; echo $sasldb_passwd | tr \\r \\n > $config_dir/sasldb_passwd)
  chmod 600 $config_dir/sasldb_passwd
fi

# Strips the blanks at both ends, as the word splitting of a command line would.
trimBlanks() {
  trimmed=${1#"${1%%[! ]*}"}
  trimmed=${trimmed%"${trimmed##*[! ]}"}
}

if test -n "$sasldb_passwd" && test -e $config_dir/sasldb_passwd; then
  if ! (test -e /usr/lib/sasl2/libsasldb.2.so && test -e /usr/lib/sasl2/libsasldb.la) \
     && test -e /usr/lib/sasl2/disabled/libsasldb.2.so && test -e /usr/lib/sasl2/disabled/libsasldb.la; then
    set +f
    cp /usr/lib/sasl2/disabled/libsasldb* /usr/lib/sasl2/
    set -f
  fi
  # smtpd.conf names /etc/sasldb2.db as the database, for smtpd and for
  # saslpasswd2 -a smtpd alike.
  cp smtpd.conf /usr/lib/sasl2/
  if test -n "$mydomain"; then
    domainName=$mydomain
  else
    domainName=$myorigin
  fi
  rm /etc/sasldb2.db
  # One account a line: user name before the first ":", password up to the
  # next one. Names and passwords are handed over as data, never as commands.
  while IFS= read -r line || test -n "$line"; do
    case $line in
      *:*) rest=${line#*:}; password=${rest%%:*} ;;
      *) password="" ;;
    esac
    trimBlanks "${line%%:*}"; user=$trimmed
    trimBlanks "$password"; password=$trimmed
    test -n "$user" || continue
    # No domain, no realm: the user name then follows -u, so saslpasswd2
    # refuses the line and no account falls into this machine's own realm.
    echo "$password" | /usr/sbin/saslpasswd2 -p -c -a smtpd -u ${domainName:+"$domainName"} "$user"
  done < $config_dir/sasldb_passwd
  chmod 600 /etc/sasldb2.db
  chown _postfix:wheel /etc/sasldb2.db
fi

if test "$sasl_passwd" = "empty"; then
  set +f
  rm $config_dir/sasl_passwd*
  set -f
  sasl_passwd=""
fi

if test -n "$sasl_passwd"; then
  echo "" >> main.cf.temp
  echo "smtp_sasl_auth_enable=yes" >> main.cf.temp
  echo "smtp_sasl_password_maps=hash:$config_dir/sasl_passwd" >> main.cf.temp
  echo "smtp_sasl_security_options=" >> main.cf.temp
  (umask 077; echo $sasl_passwd | tr \\r \\n > $config_dir/sasl_passwd)
  chmod 640 $config_dir/sasl_passwd
  /usr/sbin/postmap -c $config_dir $config_dir/sasl_passwd
fi

if test -n "$requireSSLClientState"; then
  echo "smtp_use_tls=yes" >> main.cf.temp
fi

if test -n "$rblSites"; then
  echo "" >> main.cf.temp
  restrictions="smtpd_client_restrictions=check_client_access hash:$config_dir/access"
  for i in $rblSites; do
    restrictions="$restrictions,reject_rbl_client $i"
  done
  echo "$restrictions" >> main.cf.temp
  echo 'default_rbl_reply=$rbl_code Service unavailable; $rbl_class [$rbl_what] blocked using $rbl_domain${rbl_reason?; $rbl_reason} - see http://$rbl_domain.' >> main.cf.temp
  echo "smtpd_helo_required=yes" >> main.cf.temp
  echo "" >> main.cf.temp
fi

if test -n "$virtual"; then
  echo "virtual_alias_maps=hash:$config_dir/virtual" >> main.cf.temp
fi

# rspamd first: mail it rejects is not signed for nothing. A milter that
# does not answer lets mail through unfiltered and unsigned, never stops it.
milters=
# Each milter is reached where its own configuration has it listen: one set
# up before it moved to a UNIX socket stays on TCP until its own script
# runs again, and that run is followed by this one.
filter=unix:/usr/local/tarnwick/rspamd/run/milter.sock
grep -qF 'milter.sock' /usr/local/tarnwick/rspamd/local.d/worker-proxy.inc 2>/dev/null \
  || filter=inet:127.0.0.1:11432
test "$filtering" = yes && milters=$filter
signer=unix:brevane-opendkim/opendkim.sock
grep -qx 'Socket inet:8891@127.0.0.1' /usr/local/tarnwick/opendkim/opendkim.conf 2>/dev/null \
  && signer=inet:127.0.0.1:8891
test "$dkimSigning" = yes && milters="${milters:+$milters, }$signer"
if test -n "$milters"; then
  echo "smtpd_milters=$milters" >> main.cf.temp
  echo 'non_smtpd_milters=$smtpd_milters' >> main.cf.temp
  echo "milter_default_action=accept" >> main.cf.temp
fi
# rspamd marks spam in a header of its own and Postfix logs nothing of it:
# the first line puts each marking in the mail log, where the summary counts
# it (only the milter's headers are checked, never the sender's own).
# Mailboxes are then Dovecot's LMTP's to fill: it files what rspamd marked
# in Junk. Dovecot never delivers as root, so root's mail keeps Postfix's
# own delivery (transport rootmail in master.cf).
if test "$filtering" = yes; then
  echo "milter_header_checks=regexp:{{/^X-Spam: Yes/ INFO marked as spam}}" >> main.cf.temp
  echo "mailbox_transport=lmtp:unix:/run/dovecot-brevane-lmtp/lmtp" >> main.cf.temp
  echo "mailbox_transport_maps=inline:{root=rootmail:}" >> main.cf.temp
fi

echo "###End Brevane###" >> main.cf.temp

if test -n "$custom"; then
  echo "" >> main.cf.temp
  echo "###Start Custom Config###" >> main.cf.temp
  cat "$customCheck/custom" >> main.cf.temp
  echo "###End Custom Config###" >> main.cf.temp
  # Once more within the main.cf Postfix will read: a $mydomain or
  # $myhostname in a custom line means the form's value there, not the default.
  checkCustomLinesIn main.cf.temp
  rm -rf "$customCheck"
fi
installIfChanged main.cf.temp $config_dir/main.cf
rm main.cf.temp

cp $config_dir/master.cf.default master.cf.temp
if test -n "$portNos"; then
  echo "###Start Brevane###" >> master.cf.temp
  for i in $portNos; do
    echo "$i      inet  n       -       n       -       -       smtpd" >> master.cf.temp
  done
  echo "###End Brevane###" >> master.cf.temp
fi
# Root's mailbox, while the others go to Dovecot (after the block of ports,
# which is read back as the list of ports).
if test "$filtering" = yes; then
  echo "rootmail  unix  -       n       n       -       -       local" >> master.cf.temp
  echo "  -o mailbox_transport= -o mailbox_transport_maps=" >> master.cf.temp
fi
installIfChanged master.cf.temp $config_dir/master.cf
rm master.cf.temp

echo $access | tr \\r \\n > $config_dir/access
echo $theAliases | tr \\r \\n > $config_dir/aliases

if test "$luser_relay" = "devnull" && test -z "$(grep devnull: $config_dir/aliases | awk '{print $1}')"; then
  echo devnull: /dev/null >> $config_dir/aliases
fi

/usr/sbin/postmap -c $config_dir $config_dir/access
/usr/sbin/postalias -c $config_dir $config_dir/aliases

rm $config_dir/virtual
rm $config_dir/virtual.db
if test -n "$virtual"; then
  if test -n "$virtualDomains"; then
    virtualDomains=$(echo $virtualDomains | tr , ' ')
    for i in $virtualDomains; do
      echo "$i anything" >> $config_dir/virtual
    done
  fi
  echo $virtual | tr \\r \\n >> $config_dir/virtual
  /usr/sbin/postmap -c $config_dir $config_dir/virtual
fi

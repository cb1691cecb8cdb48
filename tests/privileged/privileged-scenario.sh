#!/usr/bin/env bash
# Inside the sandbox, as root: real users and the authorization layer
# installed setuid, then the runner tried as root and as a logged-in
# administrator.
#
#   privileged-scenario.sh BUILD_DIR TEST_PROGRAM
set -euo pipefail

build=$1
tests=$2
here=$(cd "$(dirname "$0")" && pwd)

export BREVANE_TEST_ADMIN=brevadmin BREVANE_TEST_ADMIN_PASSWORD='Adm1n pässword'
export BREVANE_TEST_PLAIN=brevplain BREVANE_TEST_PLAIN_PASSWORD='Pl4in password'
export BREVANE_TEST_ROOT_PASSWORD='R00t password'

getent group admin >/dev/null || groupadd admin
useradd -m -G admin "$BREVANE_TEST_ADMIN"
useradd -m "$BREVANE_TEST_PLAIN"
chpasswd <<USERS
$BREVANE_TEST_ADMIN:$BREVANE_TEST_ADMIN_PASSWORD
$BREVANE_TEST_PLAIN:$BREVANE_TEST_PLAIN_PASSWORD
root:$BREVANE_TEST_ROOT_PASSWORD
USERS

# A copy of the helpers, so that setuid bits never land in the build tree.
app=/opt/brevane-test
mkdir -p "$app/Resources"
cp "$build/Resources/shellTool" "$build/Resources/brevane-authorize" "$app/Resources/"
chmod 755 /opt "$app" "$app/Resources"
bash "$here/../../platform/auth/install-part.sh" "$app"
export BREVANE_RESOURCES=$app/Resources

status=0
"$tests" --gtest_filter='AsRoot.*' || status=1
cd /tmp
setpriv --reuid="$BREVANE_TEST_ADMIN" --regid="$BREVANE_TEST_ADMIN" --init-groups \
  env HOME="/home/$BREVANE_TEST_ADMIN" "$tests" --gtest_filter='AsAdmin.*' || status=1
exit $status

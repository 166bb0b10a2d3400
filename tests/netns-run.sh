#!/bin/sh
# Runs a test program in a private network namespace when the machine allows
# it, so suites that use the fixed ports can run side by side. Falls back to
# running it directly.
if [ -z "${PLENVAR_NO_NETNS:-}" ] && unshare -n true 2>/dev/null; then
  exec unshare -n sh -c 'ip link set lo up 2>/dev/null || true; exec "$@"' sh "$@"
fi
exec "$@"

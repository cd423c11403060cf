#!/bin/sh
# The kill-switch guard, as the application names it when it engages the kill switch. The guard
# runs as root, so the helper never installs or runs this copy, which lies in a folder its user
# may change: it writes the guard's script and systemd unit (com.corvantis.CorvantisGuard.service)
# from its own program, and this copy only marks the bundle's part of the request.
echo "corvantis_guard.sh: the helper installs and runs the kill-switch guard itself" >&2
exit 1

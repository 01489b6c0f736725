#!/usr/bin/env bash
# Tests reach the network only on the loopback: every tcp:// address in tests/ is
# 127.0.0.1, and every socat TCP listener there binds to 127.0.0.1. Lines that say
# "never dialled" hold addresses a test only parses.
cd "$(dirname "$0")" || exit 2
bad=$(grep -rnE --exclude="$(basename "$0")" 'tcp://[^"[:space:]]' . | grep -vE 'tcp://127\.0\.0\.1[:"]|never dialled'
      grep -rn --exclude="$(basename "$0")" 'TCP-LISTEN' . | grep -v 'bind=127\.0\.0\.1'
      grep -rnE --exclude="$(basename "$0")" '"TCP[46]?:' . | grep -v '127\.0\.0\.1')
[ -z "$bad" ] || { echo "tests must reach only 127.0.0.1:"; echo "$bad"; exit 1; }

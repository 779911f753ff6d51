#!/usr/bin/env bash
# Fails if the archive given refers to a sine or cosine of the C library.
# Usage: no-library-sine.sh libmodsin.a
set -euo pipefail
symbols=$(nm -A "$1" | grep -E ' U (sin|sinl|sinf|sincos|sincosl|sincosf|cos|cosl|cosf)$' || true)
if [ -n "$symbols" ]; then
  echo "the core library calls the C library's sine:" >&2
  echo "$symbols" >&2
  exit 1
fi

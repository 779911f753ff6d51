#!/usr/bin/env bash
# Fails if the archive given refers to a sine or cosine of the C library.
# Usage: no-library-sine.sh NM libmodsin.a
# NM is the nm of the archive's platform; 32-bit Windows names C functions with
# a leading underscore.
set -euo pipefail
symbols=$("$1" -A "$2" | grep -E ' U _?(sin|sinl|sinf|sincos|sincosl|sincosf|cos|cosl|cosf)$' || true)
if [ -n "$symbols" ]; then
  echo "the core library calls the C library's sine:" >&2
  echo "$symbols" >&2
  exit 1
fi

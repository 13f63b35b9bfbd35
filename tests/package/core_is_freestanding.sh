#!/bin/sh
# The extractor stub links the codec core without any C++ runtime, and must not hold a method
# id such as "-lh5-", or readers that search an executable's start for the archive stop there.
# So the core may call nothing outside itself (sanitizer hooks aside), and holds no method id.
set -eu
library=$1
foreign=$(nm --undefined-only --format=just-symbols "$library" | grep -v -E '^(_ZN3lzh|__asan|__ubsan|__sanitizer)' || true)
if [ -n "$foreign" ]; then
  echo "the codec core calls outside itself:"; echo "$foreign"; exit 1
fi
if grep -a -q -E -- '-lh[0-9a-z]-' "$library"; then
  echo "the codec core holds a method id"; exit 1
fi

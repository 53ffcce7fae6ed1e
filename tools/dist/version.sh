#!/bin/sh
# Prints the version the plug-in's version resource carries (plugin/version.h),
# as 1.0.0.1: the one version of the zip and of the setup program.
sed -n 's/^#define NPVKCHK_VERSION \([0-9]*\), *\([0-9]*\), *\([0-9]*\), *\([0-9]*\) *$/\1.\2.\3.\4/p' \
    "$(dirname "$0")/../../plugin/version.h"

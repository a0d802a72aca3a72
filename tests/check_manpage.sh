#!/bin/sh
# The manual page renders without a warning from groff, and its OPTIONS
# section documents the options that `quarlen --help` lists, and no others.
#
# usage: check_manpage.sh MANPAGE QUARLEN
set -eu
man=$1
quarlen=$2

warnings=$(groff -man -ww -z "$man" 2>&1)
if [ -n "$warnings" ]; then
    echo "groff warns about $man:"
    echo "$warnings"
    exit 1
fi

# The OPTIONS section as plain text: from its heading to the next one.
options=$(groff -man -Tascii -P-cbou "$man" | sed -n '/^OPTIONS$/,/^[A-Z][A-Z ]*$/p')
[ -n "$options" ] || { echo "$man has no OPTIONS section"; exit 1; }

listed=$("$quarlen" --help | grep -oE '(^|[ ,[])--?[A-Za-z][A-Za-z-]*' | sed 's/^[ ,[]//' | sort -u)
[ -n "$listed" ] || { echo "quarlen --help lists no option"; exit 1; }
documented=$(printf '%s\n' "$options" | grep -oE '(^|[ ,[])--?[A-Za-z][A-Za-z-]*' | sed 's/^[ ,[]//' | sort -u)
if [ "$listed" != "$documented" ]; then
    echo "quarlen --help lists $(echo $listed)"
    echo "$man documents $(echo $documented)"
    exit 1
fi
echo "$man documents $(echo $listed)"

# quarlen-cli.exe under Wine, sourced by run.sh once Wine is set up: the
# same generated models as the native tests (the fuzzing seeds, good and
# broken alike) converted by the Linux program and by quarlen-cli.exe must
# give byte-identical outputs; a folder and a file named with accented and
# CJK characters convert, walked as a folder and matched by a wildcard, and
# the messages name them.
#
# Needs from run.sh: $root, $tmp, $linux_build, $build (the Windows build),
# $wine, winpath(), check() and Wine's environment.

cli_exe=$build/cli/quarlen-cli.exe

cli_data=$tmp/cli
mkdir -p "$cli_data/seeds" "$cli_data/in"
"$linux_build/tests/quarlen_make_seeds" "$cli_data/seeds" >/dev/null
for f in "$cli_data/seeds"/*; do cp "$f" "$cli_data/in/$(basename "$f").rsr"; done
uni="$cli_data/in/été/日本"
mkdir -p "$uni"
cp "$root/examples/sample.rsr" "$uni/モデル.rsr"
count=$(find "$cli_data/in" -name '*.rsr' | wc -l)

# Most seeds fail on purpose; what counts is the output each one leaves.
"$linux_build/cli/quarlen" -q -r -o "$cli_data/expected" "$cli_data/in" 2>"$cli_data/linux.err" || true
LANG=C.UTF-8 "$wine" "$cli_exe" -q -r -j2 -o "$(winpath "$cli_data/out")" "$(winpath "$cli_data/in")" \
    </dev/null >"$cli_data/wine.out" 2>"$cli_data/wine.err" || true
status=0
diff -r "$cli_data/expected" "$cli_data/out" >"$cli_data/diff" 2>&1 || status=1
check "$status" "quarlen-cli.exe -r -o: all $count outputs byte-identical to the Linux program's" \
    "$(head -c 300 "$cli_data/diff")"
linux_lines=$(wc -l <"$cli_data/linux.err")
wine_lines=$(wc -l <"$cli_data/wine.err")
[ "$linux_lines" = "$wine_lines" ] && status=0 || status=1
check "$status" "the same number of message lines as the Linux program ($linux_lines)" "$wine_lines"

# GLB files: the binary data through a temporary file, and to standard
# output, which must not turn LF into CR LF.
"$linux_build/cli/quarlen" -q -r --glb -o "$cli_data/expected-glb" "$cli_data/in" 2>/dev/null || true
LANG=C.UTF-8 "$wine" "$cli_exe" -q -r --glb -o "$(winpath "$cli_data/out-glb")" "$(winpath "$cli_data/in")" \
    </dev/null >/dev/null 2>&1 || true
diff -r "$cli_data/expected-glb" "$cli_data/out-glb" >"$cli_data/diff-glb" 2>&1 && status=0 || status=1
check "$status" "quarlen-cli.exe --glb -r -o: every GLB byte-identical to the Linux program's" \
    "$(head -c 300 "$cli_data/diff-glb")"
"$wine" "$cli_exe" "$(winpath "$root/examples/sample.rsr")" - --glb </dev/null 2>/dev/null >"$cli_data/stdout.glb" || true
"$linux_build/cli/quarlen" "$root/examples/sample.rsr" - --glb 2>/dev/null | cmp -s - "$cli_data/stdout.glb" &&
    status=0 || status=1
check "$status" "quarlen-cli.exe IN.rsr - --glb writes the same bytes as the Linux program"

# Unicode names: walked as a folder, then matched by a wildcard.
rm -f "$uni/モデル.obj"
status=0
LANG=C.UTF-8 "$wine" "$cli_exe" -r -v "$(winpath "$cli_data/in/été")" </dev/null >"$cli_data/uni.out" 2>"$cli_data/uni.err" ||
    status=$?
cmp -s "$uni/モデル.obj" "$root/examples/sample.obj" && [ "$status" = 0 ] && status=0 || status=1
check "$status" "a file under été\\日本 named モデル.rsr converts to モデル.obj, exit 0"
grep -qF "$(winpath "$uni/モデル.rsr") -> $(winpath "$uni/モデル.obj")" "$cli_data/uni.err" && status=0 || status=1
check "$status" "its -v line names the Unicode paths" "$(head -c 200 "$cli_data/uni.err")"
grep -q "^quarlen: 1 converted, 0 failed, 0 skipped" "$cli_data/uni.err" && status=0 || status=1
check "$status" "the summary line counts it"
LANG=C.UTF-8 "$wine" "$cli_exe" -f "$(winpath "$uni")\\*.rsr" </dev/null >/dev/null 2>"$cli_data/glob.err" || true
grep -q "^quarlen: 1 converted, 0 failed, 0 skipped" "$cli_data/glob.err" && status=0 || status=1
check "$status" "the wildcard été\\日本\\*.rsr is expanded by the program" "$(head -c 200 "$cli_data/glob.err")"

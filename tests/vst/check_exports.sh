#!/bin/sh
# check_exports.sh LIBRARY [OBJDUMP]
# The plug-in library exports exactly VSTPluginMain and main (or the names in
# EXPORTS or EXPECTED_EXPORTS, sorted, for another format's module). A Windows DLL (a .dll, or any
# module when WINDOWS_MODULE is set; checked with the mingw objdump) must
# also import only Windows system DLLs: no C++ runtime, pthread, zlib or
# libpng DLL to ship beside it.
set -u
lib=$1
expected=${EXPORTS:-${EXPECTED_EXPORTS:-VSTPluginMain main}}
fail=0
kind=$lib
[ -n "${WINDOWS_MODULE:-}" ] && kind=module.dll
case "$kind" in
  *.dll|*.vst3)
    objdump=${2:-x86_64-w64-mingw32-objdump}
    dump=$("$objdump" -p "$lib") || { echo "cannot read $lib"; exit 1; }
    exports=$(printf '%s\n' "$dump" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
      sed -n 's/^[[:space:]]*\[[[:space:]]*[0-9]*\][[:space:]]*//p' | sort | tr '\n' ' ')
    imports=$(printf '%s\n' "$dump" | sed -n 's/^[[:space:]]*DLL Name:[[:space:]]*//p')
    for dll in $imports; do
      case $(printf '%s' "$dll" | tr 'A-Z' 'a-z') in
        kernel32.dll|msvcrt.dll|user32.dll|gdi32.dll|advapi32.dll|shell32.dll|ole32.dll|comdlg32.dll|\
        ws2_32.dll|uxtheme.dll|msimg32.dll|api-ms-win-*) ;;
        *) echo "imports a non-system DLL: $dll"; fail=1 ;;
      esac
    done
    echo "imports: $(printf '%s ' $imports)"
    ;;
  *)
    exports=$(nm -D --defined-only "$lib" | awk '{print $NF}' | sort | tr '\n' ' ')
    ;;
esac
echo "exports: $exports"
if [ "$exports" != "$expected " ]; then
  echo "expected exactly: $expected"
  fail=1
fi
exit $fail

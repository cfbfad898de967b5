#!/usr/bin/env bash
# Reads a DLL's export and import tables as objdump prints them and fails on
# anything the host's loading contract does not allow.
#
#   check-dll-tables.sh OBJDUMP DLL [options]
#     --functions "a b"     exactly these code exports ...
#     --data "c d"          ... and these data exports, and no other name
#     --no-exports          the DLL exports nothing
#                           (without any of these, exports are listed only)
#     --host-library NAME   NAME must be imported, and only qv... names from it
#
# Every imported DLL must be a Windows system DLL or the host library, so
# that the DLL loads where only the host's own libraries are present.
set -euo pipefail

objdump=$1
dll=$2
shift 2
functions=""
data=""
no_exports=0
host_library=""
while [ $# -gt 0 ]; do
  case $1 in
  --functions) functions=$2; shift 2 ;;
  --data) data=$2; shift 2 ;;
  --no-exports) no_exports=1; shift ;;
  --host-library) host_library=$2; shift 2 ;;
  *) echo "unknown option $1" >&2; exit 2 ;;
  esac
done

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

private=$("$objdump" -p "$dll")
sections=$("$objdump" -h "$dll")
image_base=$(awk '$1 == "ImageBase" { print $2 }' <<<"$private")

# name -> RVA, from the export address table indexed by the name table's ordinals.
exports=$(awk '
  /^Export Address Table/ { table = "address"; next }
  /^\[Ordinal\/Name Pointer\] Table/ { table = "names"; next }
  /^$/ { table = "" }
  table == "address" && /Export RVA/ { gsub(/[][]/, " "); rva[$1] = $4 }
  table == "names" && /^\t\[/ { gsub(/[][]/, " "); print $2, rva[$1] }
' <<<"$private")

echo "exports of $(basename "$dll"):"
if [ -n "$exports" ]; then
  sed 's/^/  /' <<<"$exports"
fi

# The section an RVA falls in, and whether it holds code.
section_of() {
  awk -v rva="$1" -v base="$image_base" '
    function hex(s,   i, v) {
      v = 0
      for (i = 1; i <= length(s); i++) v = v * 16 + index("0123456789abcdef", tolower(substr(s, i, 1))) - 1
      return v
    }
    /^ *[0-9]+ \./ { name = $2; start = hex($4) - hex(base); size = hex($3); next }
    name != "" {
      if (hex(rva) >= start && hex(rva) < start + size) {
        print name, (index($0, "CODE") ? "code" : "data"); exit
      }
      name = ""
    }
  ' <<<"$sections"
}

if [ "$no_exports" = 1 ] && [ -n "$exports" ]; then
  fail "$(basename "$dll") exports names; it should export none"
fi
expected=" $functions $data "
if [ -n "$functions$data" ]; then
  while read -r name rva; do
    [ -n "$name" ] || continue
    case $expected in
    *" $name "*) ;;
    *) fail "unexpected export $name" ;;
    esac
  done <<<"$exports"
fi
for name in $functions $data; do
  rva=$(awk -v n="$name" '$1 == n { print $2 }' <<<"$exports")
  if [ -z "$rva" ]; then
    fail "missing export $name"
    continue
  fi
  read -r section kind <<<"$(section_of "$rva")"
  case " $functions " in
  *" $name "*) want=code ;;
  *) want=data ;;
  esac
  if [ "$kind" != "$want" ]; then
    fail "export $name at RVA $rva is in ${section:-no section} ($kind), expected $want"
  fi
done

# DLL name, then its member names, per imported DLL.
imports=$(awk '
  /^[^ \t]/ { dll = "" }
  /DLL Name:/ { dll = $3; print dll; next }
  dll != "" && /^\t[0-9a-f]+\t/ { print dll, $3 }
' <<<"$private")

echo "imports of $(basename "$dll"):"
awk 'NF == 1' <<<"$imports" | sed 's/^/  /'

host_seen=0
while read -r name; do
  [ -n "$name" ] || continue
  lower=$(tr '[:upper:]' '[:lower:]' <<<"$name")
  if [ -n "$host_library" ] && [ "$lower" = "$(tr '[:upper:]' '[:lower:]' <<<"$host_library")" ]; then
    host_seen=1
    continue
  fi
  case $lower in
  kernel32.dll | msvcrt.dll | api-ms-win-crt-*.dll) ;;
  *) fail "imports $name, which is neither a system DLL nor the host library" ;;
  esac
done < <(awk 'NF == 1' <<<"$imports")

if [ -n "$host_library" ]; then
  if [ "$host_seen" = 0 ]; then
    fail "does not import the host library $host_library"
  fi
  while read -r library member; do
    if [ "$(tr '[:upper:]' '[:lower:]' <<<"$library")" = "$(tr '[:upper:]' '[:lower:]' <<<"$host_library")" ]; then
      case $member in
      qv[A-Z]*) ;;
      *) fail "imports $member from $library, not a host library function" ;;
      esac
    fi
  done < <(awk 'NF == 2' <<<"$imports")
fi

if [ "$failures" -gt 0 ]; then
  echo "$failures problem(s) in $(basename "$dll")"
  exit 1
fi
echo "$(basename "$dll"): tables as expected"

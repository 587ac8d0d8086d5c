#!/usr/bin/env bash
# Includes point down: platform <- common <- interface <- programs, and the
# service, TeskIEPG, the engines and the platform never include Qt.
set -u
root=${1:?source folder}
cd "$root" || exit 2
status=0

allowed_for() {
  case "$1" in
    platform) echo "platform" ;;
    common) echo "platform common" ;;
    interface) echo "platform common interface" ;;
    sim) echo "platform common interface sim" ;;
    *) echo "platform common interface $1" ;;
  esac
}

layers="platform common interface service iepg sim tools scheduler wizard devmanager"
for layer in $layers; do
  [ -d "$layer" ] || continue
  allowed=$(allowed_for "$layer")
  while IFS= read -r line; do
    file=${line%%:*}
    target=$(sed -E 's/.*#include[[:space:]]*"([^/"]+)\/.*/\1/' <<<"$line")
    case " $layers " in *" $target "*) ;; *) continue ;; esac
    case " $allowed " in
      *" $target "*) ;;
      *) echo "layering: $file includes $target/ (allowed: $allowed)"; status=1 ;;
    esac
  done < <(grep -rnE '#include[[:space:]]*"[a-z]+/' "$layer" --include='*.h' --include='*.cpp' || true)
done

for layer in platform interface service iepg; do
  [ -d "$layer" ] || continue
  if grep -rnE '#include[[:space:]]*<Q[A-Za-z]*' "$layer" --include='*.h' --include='*.cpp'; then
    echo "layering: $layer must not use Qt"; status=1
  fi
done
if [ -d common ] && grep -rnE '#include[[:space:]]*<Q[A-Za-z]*' common --include='*.h' --include='*.cpp' | grep -v '^common/ui/'; then
  echo "layering: common (outside common/ui) must not use Qt"; status=1
fi
exit $status

#!/usr/bin/env bash
# option_guide.sh KOV_BATCH_DOCS GUIDE: the table of options in the guide
# (docs/kov-batch.md) names every option of kov-batch's option table, and no
# other.
set -euo pipefail
table=$("$1" names | sort)
guide=$(grep -E '^\| `-' "$2" | cut -d'|' -f2 | grep -oE -- '`--?[a-z][a-z-]*' | tr -d '`' | sort)
[ "$table" = "$guide" ] && exit 0
echo "$2 and the option table differ (< table, > guide):" >&2
diff <(echo "$table") <(echo "$guide") >&2
exit 1

#!/usr/bin/env bash
# Checks the documents: every link and picture in README.md and docs/*.md names a file that
# exists, and a heading of it where the link names one (#anchor); README.md links every page of
# docs/. Web addresses are not followed. Fails naming each link that does not resolve.
# Checks the documents of the folder given, the repository's by default.
set -euo pipefail
cd "${1:-$(dirname "$0")/..}"
export LC_ALL=C.UTF-8
status=0

# The anchors of a page's headings, as GitHub makes them: lower case, punctuation dropped,
# spaces as dashes.
anchors() {
    local heading
    sed -n 's/^#\{1,6\} \{1,\}//p' "$1" | while IFS= read -r heading; do
        heading=${heading,,}
        heading=${heading//[^[:alnum:] _-]/}
        echo "${heading// /-}"
    done
}

for page in README.md docs/*.md; do
    # The targets of [text](target) and ![picture](target).
    while IFS= read -r target; do
        if [[ $target == http://* || $target == https://* ]]; then continue; fi
        file=${target%%#*}
        anchor=${target#"$file"}
        path=$(dirname "$page")/$file
        if [[ -z $file ]]; then path=$page; fi
        if [[ ! -f $path ]]; then
            echo "doclinks: $page: no such file: $target" >&2
            status=1
        elif [[ -n $anchor ]] && ! anchors "$path" | grep -xF "${anchor#'#'}" >/dev/null; then
            echo "doclinks: $page: no such heading: $target" >&2
            status=1
        fi
    done < <(grep -oE '\]\([^) ]+' "$page" | cut -c3-)
done

# A page of docs/ counts as linked by a Markdown link to it, at a heading or not; a mention in
# the text, in backquotes or in parentheses, does not count.
linked=$(grep -oE '\]\([^) ]+' README.md | cut -c3- | sed 's/#.*//' || true)
for page in docs/*.md; do
    if ! grep -qxF "$page" <<<"$linked"; then
        echo "doclinks: README.md does not link $page" >&2
        status=1
    fi
done
exit "$status"

#!/usr/bin/env bash
# The document check (tools/doclinks.sh) against small sets of pages in a temporary folder: a
# sound set, then the same set with one fault each: a link to a missing page or picture, to a
# missing heading of the same page or of another, and a page of docs/ that README.md names
# without linking it. Each row checks the exit code and every line the check printed.
set -uo pipefail
doclinks=$(realpath "$(dirname "$0")/../tools/doclinks.sh")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The sound set: links with and without headings, across folders both ways, a picture, a web
# address, a heading with punctuation, and a page that README.md links only at a heading.
sound() {
    mkdir -p "$1/docs"
    printf '%s\n' '# Ombrix' '## Exit codes' '[A](docs/a.md),' \
        '[its part](docs/a.md#a-part-of-it-the-second-one), [B](docs/b.md#the-b-page).' \
        '![Shot](docs/shot.png) [Up](#exit-codes) [Web](https://example.org/c.md#none)' \
        >"$1/README.md"
    # shellcheck disable=SC2016 # Markdown's backquotes
    printf '%s\n' '# The A page' '## A part of it: the `second` one' \
        'Back to [exit codes](../README.md#exit-codes), [B](b.md), [up](#the-a-page).' \
        >"$1/docs/a.md"
    printf '%s\n' '# The B page' >"$1/docs/b.md"
    : >"$1/docs/shot.png"
}

rows=0 failures=0
# One row: its name, the line the check must print ("" for none, and exit 0; otherwise a failing
# exit and that line alone), then pairs of a file and a line appended to it (made if missing).
row() {
    local name=$1 expected=$2 tree=$work/tree code said
    rm -rf "$tree"
    sound "$tree"
    shift 2
    while (($#)); do
        echo "$2" >>"$tree/$1"
        shift 2
    done
    (cd / && bash "$doclinks" "$tree" >"$work/said" 2>&1)
    code=$?
    said=$(<"$work/said")
    rows=$((rows + 1))
    local problems=()
    [[ -z $expected ]] && ((code != 0)) && problems+=("exit $code, not 0")
    [[ -n $expected ]] && ((code == 0)) && problems+=("exit 0 on a fault")
    [[ -n $expected ]] && expected="doclinks: $expected"
    [[ $said == "$expected" ]] || problems+=("printed other than \"$expected\"")
    if ((${#problems[@]})); then
        printf 'doclinks test, %s:\n' "$name"
        printf '  %s\n' "${problems[@]}"
        sed 's/^/  said: /' "$work/said"
        failures=$((failures + 1))
    fi
}

row "a sound set" ""
row "a missing page" "README.md: no such file: docs/gone.md" README.md "See [gone](docs/gone.md)."
row "a missing picture" "docs/a.md: no such file: gone.png" docs/a.md "![Gone](gone.png)"
row "a missing heading on the same page" "docs/a.md: no such heading: #renamed" docs/a.md "[x](#renamed)"
row "a missing heading on another page" "README.md: no such heading: docs/a.md#renamed" \
    README.md "[x](docs/a.md#renamed)"
mentioned="README.md does not link docs/c.md"
row "a page README.md names in plain text" "$mentioned" docs/c.md "# C" README.md "See docs/c.md."
# shellcheck disable=SC2016 # Markdown's backquotes
row "a page README.md names in backquotes" "$mentioned" docs/c.md "# C" README.md 'See `docs/c.md`.'
row "a page README.md names in parentheses" "$mentioned" docs/c.md "# C" README.md "The rest (docs/c.md)."

echo "doclinks test: $((rows - failures)) passed, $failures failed"
((failures == 0))

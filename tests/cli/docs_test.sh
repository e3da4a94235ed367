#!/usr/bin/env bash
# docs_test.sh CORVANEPDF SOURCE_DIR BUILD_DIR PLUGIN_DIR: every command and
# long option of `--help` is in the manual and the completion; the page is
# built when pandoc is there; completion answers commands, options, files.
set -euo pipefail
cli=$1 src=$2 build=$3 plugin_dir=$4  # where the chooser module is installed, under the prefix
manual=$src/docs/man/corvanepdf.1.md
completion=$src/contrib/completion/corvanepdf.bash
fail() { echo "FAIL: $*" >&2; exit 1; }

commands=$("$cli" --help | sed -n '/^Subcommands:/,$p' | awk 'NR > 1 && NF { print $1 }')
[ -n "$commands" ] || fail "no commands in --help"
for command in $commands; do
  grep -q "\*\*$command\*\*" "$manual" || fail "$command is not in the manual"
  grep -q "commands=\".*\b$command\b" "$completion" || fail "$command is not completed"
  for option in $("$cli" "$command" --help | grep -o -- '--[a-z][a-z-]*' | sort -u); do
    [ "$option" = --help ] && continue
    grep -q -- "\\\\$option\|$option" "$manual" || fail "$command $option is not in the manual"
    grep -q -- "$option" "$completion" || fail "$command $option is not completed"
  done
done
grep -qF "*/usr/$plugin_dir/corvane_chooser_qt.so*" "$manual" || fail "the manual does not name /usr/$plugin_dir"
if command -v pandoc > /dev/null; then
  page=$build/docs/man/corvanepdf.1
  [ -s "$page" ] || fail "pandoc is installed but $page was not built"
  grep -q '^\.SH EXIT STATUS' "$page" || fail "$page has no EXIT STATUS section"
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
touch "$work/a.pdf" "$work/b.txt"
complete_line() {  # complete_line WORD... : what completion offers for the last word
  bash -c 'source "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _corvanepdf; printf "%s\n" "${COMPREPLY[@]}" | sort | tr "\n" " "' \
    _ "$completion" "$@"
}
[ "$(complete_line corvanepdf si)" = "sign sign-text " ] || fail "commands: $(complete_line corvanepdf si)"
[ "$(complete_line corvanepdf sign --ou)" = "--out-dir --output " ] || fail "options: $(complete_line corvanepdf sign --ou)"
[ "$(complete_line corvanepdf sign "$work/")" = "$work/a.pdf " ] || fail "files: $(complete_line corvanepdf sign "$work/")"
[ "$(complete_line corvanepdf settings get Uni)" = "UniqueContainerName " ] || fail "setting names"
# --cert offers the nicknames of the store's keys that sign.
nicknames=$(PATH=$(dirname "$cli"):$PATH CORVANE_NSSDB="sql:$build/fixtures/nss" complete_line corvanepdf sign --cert '')
[ "$nicknames" = "Alex Signer Blair EC Signer " ] || fail "--cert nicknames: $nicknames"
echo "manual and completion cover the command line"

#!/usr/bin/env bash
# The srtm tool's man page, made by help2man from the tool's own help texts:
#   bash scripts/man_page.sh SRTM VERSION > srtm.1
# The overview (srtm --help) gives the SYNOPSIS (its usage lines), the DESCRIPTION, the
# EXIT STATUS and SEE ALSO (its paragraphs of those titles) and the EXAMPLES; each
# command's --help becomes a sub-section of COMMANDS: its usage lines in bold, its text,
# its options as tagged paragraphs.
set -euo pipefail
srtm=$(realpath "$1") version=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# help2man runs the program by the name the page is about; this one marks the
# overview's paragraph titles that help2man knows no section for as sections.
cat > "$work/srtm" <<EOF
#!/bin/sh
if [ "\$1" = --help ]; then
  "$srtm" --help | sed -e 's/^\(Exit status\|See also\):\$/*\1*/'
else
  exec "$srtm" "\$@"
fi
EOF
chmod +x "$work/srtm"

# One command's --help as roff.
command_section() {
  echo ".SS \"srtm $1\""
  "$srtm" "$1" --help | awk '
    function esc(s) { gsub(/\\/, "\\e", s); gsub(/-/, "\\-", s); sub(/^[.'\'']/, "\\\\&&", s); return s }
    function close_literal() { if (state == "literal") print ".fi"; state = "text" }
    /^$/ { close_literal(); print ".PP"; next }
    /^(Usage:|  or: ) srtm / {
      sub(/^(Usage:|  or: ) srtm [a-z]+ /, "")
      if (forms++) print ".br"
      print "\\fBsrtm " cmd "\\fR " esc($0)
      next
    }
    forms && !described++ && !/^$/ { print ".PP" }
    /^Options:$/ { next }
    /^  -/ {
      close_literal()
      line = substr($0, 3)
      if (match(line, /   */)) { tag = substr(line, 1, RSTART - 1); text = substr(line, RSTART + RLENGTH) }
      else { tag = line; text = "" }
      print ".TP"; print "\\fB" esc(tag) "\\fR"; if (text != "") print esc(text)
      state = "option"; next
    }
    /^   / && state == "option" { sub(/^ +/, ""); print esc($0); next }
    /^  / { if (state != "literal") print ".nf"; state = "literal"; print esc($0); next }
    { close_literal(); print esc($0) }
    END { close_literal() }
  ' cmd="$1"
}

{
  echo "[COMMANDS]"
  "$srtm" --help | sed -n 's/^  \([a-z]\+\) .*/\1/p' | while read -r cmd; do command_section "$cmd"; done
  printf '[COPYRIGHT]\nCopyright (C) 2026 srtm.qlp developers. MIT licence: /usr/share/doc/srtm/copyright.\n'
} > "$work/commands.h2m"
LC_ALL=C.UTF-8 help2man --no-info --section=1 --source="srtm.qlp $version" \
  --name="compress SRTM elevation tiles into XEM files and check, decode and draw them" \
  --include="$work/commands.h2m" "$work/srtm"

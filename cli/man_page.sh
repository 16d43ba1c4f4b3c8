#!/bin/sh
# Makes the manual page of norvex or of one of its subcommands from the command's own --help,
# with help2man. Usage: man_page.sh NORVEX SUBCOMMAND|"" DESCRIPTION OUTPUT
set -eu
norvex=$1 subcommand=$2 description=$3 output=$4
name=norvex${subcommand:+-$subcommand}
folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
# help2man names the page after the program it runs: a program of the page's name runs the
# subcommand.
printf '#!/bin/sh\nexec "%s" %s "$@"\n' "$norvex" "$subcommand" > "$folder/$name"
chmod +x "$folder/$name"
help2man --no-info --no-discard-stderr --version-string="$("$norvex" --version | sed 's/^norvex //')" \
    --name="$description" --output="$output" "$folder/$name"

# Shared by the tests of the manual pages, the shell completion and the PHP-judged merges;
# sourced, not run.

failures=0

fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# Ends the test: 1 when a check failed, else 0.
finish() {
    if ((failures > 0)); then
        echo "$failures failed"
        exit 1
    fi
    echo "PASS"
    exit 0
}

# A tool the test cannot do without: skipped where it is missing, failed under CI=true, where
# every tool must be installed.
need() {
    local tool
    for tool in "$@"; do
        command -v "$tool" > /dev/null && continue
        if [ "${CI:-}" = true ]; then
            echo "FAIL: $tool is missing (required when CI=true)"
            exit 1
        fi
        echo "SKIP: $tool is missing"
        exit 77
    done
}

# A manual page as plain text, one paragraph per line (no hyphenation, no line breaks inside a
# paragraph), so that every name can be looked for on one line.
plain_page() {
    groff -man -Tascii -P-c -P-b -P-o -P-u -rLL=500n -rHY=0 "$1" 2> /dev/null
}

# The text of the named sections of a plain page.
sections() {
    local wanted=" $2 "
    awk -v wanted="$wanted" '/^[A-Z]/ { in_section = index(wanted, " " $0 " ") > 0; next }
                             in_section' <<< "$1"
}

# Whether the word labels an entry of the text: the first word of a line's label (the line up
# to its first two blanks), or any word of an option's label, as in "--help, -h".
is_entry() {
    awk -v word="$2" '
        {
            sub(/^ +/, "")
            label = $0
            sub(/  .*/, "", label)
            n = split(label, parts, /[ ,|\[\]]+/)
            for (i = 1; i <= (label ~ /^-/ ? n : 1); i++)
                if (parts[i] == word)
                    found = 1
        }
        END { exit !found }' <<< "$1"
}

# The options a help text names: every word that begins with - or -- and a letter.
options_in() {
    grep -oE '(^|[^A-Za-z0-9_-])--?[A-Za-z][A-Za-z0-9-]*' <<< "$1" | sed 's/^[^-]//' | sort -u
}

# quillmar-cli's usage lines as records "COMMAND<TAB>OPTION<TAB>VALUES": one per command with an
# empty option, one per option, VALUES being the choices the usage lists (text|json), separated
# by blanks. Options that stand alone (--help) have an empty command.
usage_records() {
    awk '
        function scan(text,    n, words, i, w, values) {
            n = split(text, words, / +/)
            for (i = 1; i <= n; i++) {
                w = words[i]
                gsub(/[\[\]]/, "", w)
                if (w !~ /^--?[a-z]/)
                    continue
                values = ""
                if (i < n && words[i + 1] ~ /\|/) {
                    values = words[i + 1]
                    gsub(/[\[\]]/, "", values)
                    gsub(/\|/, " ", values)
                }
                print command "\t" w "\t" values
            }
        }
        /^usage: / { sub(/^usage: /, "       "); usage = 1 }
        !usage { next }
        /^ *quillmar-cli [a-z]/ {
            command = $2
            print command "\t\t"
            line = $0
            sub(/^ *quillmar-cli [a-z]+/, "", line)
            scan(line)
            next
        }
        /^ *quillmar-cli -/ { command = ""; scan($2); next }
        { scan($0) }' <<< "$1"
}

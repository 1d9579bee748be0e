# Checks on what kaleon_screen_probe reports, for the integration tests to source. The caller
# defines fail() and $source.

# palette_colours FILE: the colours of resources/FILE, upper case, a line each.
palette_colours() {
    grep -o '<string>[0-9A-Fa-f]\{6\}</string>' "$source/resources/$1" | sed 's/<[^>]*>//g' | tr a-f A-F
}

# check_shown NOUN ALLOWED SHOWN: every screen of SHOWN (the probe's lines, "SCREEN N WxH
# COLOURS C:share ...") shows colours of ALLOWED only, and at least two of them: the first is
# the background, a shape adds one more. NOUN names a screen in the messages.
check_shown() {
    local noun=$1 allowed=$2 shown=$3
    while read -r _ number size _ colours; do
        local count=0
        for entry in $colours; do
            local colour=${entry%%:*}
            echo "$allowed" | grep -qx "$colour" || fail "$noun $number ($size) shows $colour, not a colour of the palette"
            count=$((count + 1))
        done
        [ "$count" -ge 2 ] || fail "$noun $number shows no shape over its background: $colours"
    done <<< "$shown"
}

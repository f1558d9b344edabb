# Doxygen input filter: the public headers document themselves with plain
# comments (the comment a header opens with describes the file, a comment
# above a declaration describes it, a comment after a member on its line
# describes that member). This turns them into Doxygen's comment forms, and
# keeps their text literal: <placeholder>, \n and #name are prose here, not
# markup, except inside `code spans`.

# Escapes what Doxygen would read as commands or tags, outside backquotes.
function literal(text,    parts, n, i, out, piece) {
    n = split(text, parts, "`")
    out = ""
    for (i = 1; i <= n; ++i) {
        piece = parts[i]
        if (i % 2 == 1) {
            gsub(/\\/, "&&", piece)
            gsub(/</, "\\<", piece)
            gsub(/>/, "\\>", piece)
            gsub(/#/, "\\#", piece)
            gsub(/@/, "\\@", piece)
            gsub(/%/, "\\%", piece)
            gsub(/&/, "\\\\&", piece)
        }
        out = out (i > 1 ? "`" : "") piece
    }
    return out
}

BEGIN { opening = 1 }
{
    line = $0
    if (opening) {
        if (line ~ /^\/\/( |$)/) {
            if (!started) {
                print "/// \\file"
                started = 1
            }
            print "///" literal(substr(line, 3))
            next
        }
        opening = 0
    }
    if (match(line, /^[ \t]*\/\/([^\/!]|$)/)) {
        indent = substr(line, 1, index(line, "//") - 1)
        line = indent "///" literal(substr(line, length(indent) + 3))
    } else if (match(line, /[;,{})][ \t]+\/\/ /)) {
        # the comment after a declaration on the same line
        head = substr(line, 1, RSTART + RLENGTH - 4)
        line = head "///< " literal(substr(line, RSTART + RLENGTH))
    }
    print line
}

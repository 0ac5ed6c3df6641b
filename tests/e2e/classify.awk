# Turns a plain 8-bit PPM (P3) into one text line per pixel row with one letter per pixel,
# so the checks can look at the screen with awk instead of one ImageMagick call per pixel:
#   .  the sky (70,200,255)
#   k  black: the ruled lines
#   w  white: snow
#   #  anything else: the figure, blocks
function near(a, b) { return a - b <= 6 && b - a <= 6 }
function classify(r, g, b) {
    if (near(r, 70) && near(g, 200) && near(b, 255)) return "."
    if (r <= 40 && g <= 40 && b <= 40) return "k"
    if (r >= 250 && g >= 250 && b >= 250) return "w"
    return "#"
}
BEGIN { header = 0; n = 0; col = 0 }
{
    seg = ""
    for (i = 1; i <= NF; i++) {
        if (header < 4) {          # "P3", width, height, maximum value; "#" starts a comment
            if ($i ~ /^#/) break
            if (header == 1) width = $i + 0
            header++
            continue
        }
        v[n++] = $i
        if (n < 3) continue
        n = 0
        key = v[0] " " v[1] " " v[2]
        if (!(key in class)) class[key] = classify(v[0] + 0, v[1] + 0, v[2] + 0)
        seg = seg class[key]
        if (++col == width) { print seg; seg = ""; col = 0 }
    }
    if (seg != "") printf "%s", seg
}

# Sourced by the image scripts: the real ImageMagick (whatever else is on the
# PATH) and the one test picture they all draw.
im=/usr/bin/convert

picture() {  # picture WIDTH HEIGHT [OPTION...] OUTPUT: an opaque scene with smooth and sharp edges
  "$im" -size "$1x$2" gradient:'#2060c0-#f0d040' \
    -fill '#30a030' -draw "circle $(($1 / 3)),$(($2 * 2 / 3)) $(($1 / 3)),$(($2 - 2))" \
    -fill white -draw "rectangle $(($1 * 3 / 5)),$(($2 / 10)) $(($1 * 9 / 10)),$(($2 * 2 / 5))" \
    -alpha off "${@:3}"
}

#!/usr/bin/env bash
# Draws the news window's two pictures (24-bit BMP): a 164x314 banner and a 360x284 message panel.
# The logo and the address are made up; the panel's lower part stays plain for the message labels.
set -euo pipefail
out=${1:-resources/news}
convert -size 164x314 gradient:'#1f3f7a'-'#6f9fd8' \
  -fill '#ffffff' -draw "circle 82,70 82,30" \
  -fill '#1f3f7a' -font DejaVu-Sans-Bold -pointsize 44 -gravity north -annotate +0+44 'N' \
  -fill '#ffffff' -pointsize 22 -annotate +0+130 'Nowiny' \
  -pointsize 13 -annotate +0+160 'z centrali' \
  -type TrueColor BMP3:"$out/banner.bmp"
convert -size 360x284 xc:'#f7f3e8' \
  -fill '#1f3f7a' -draw "rectangle 0,0 359,46" \
  -fill '#ffffff' -draw "circle 26,23 26,9" \
  -fill '#1f3f7a' -font DejaVu-Sans-Bold -pointsize 18 -draw "text 20,30 'N'" \
  -fill '#ffffff' -pointsize 20 -draw "text 50,31 'Wiadomości'" \
  -fill '#c8b98f' -draw "rectangle 8,52 340,53" \
  -fill '#8a7b5a' -font DejaVu-Sans -pointsize 11 -draw "rotate 90 text 60,-345 'www.example.com'" \
  -type TrueColor BMP3:"$out/panel.bmp"

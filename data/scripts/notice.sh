#!/bin/sh
# Turns the sample notice page (data/www/sample/notice.html) into an RSS 2.0 feed.
#   $1  the page's address: the channel link, and the base of the item links
# The page comes in on standard input, the feed goes out on standard output. Both stay
# Shift_JIS: the tools work on bytes (C locale), so no character is taken apart.
LC_ALL=C
export LC_ALL

base=${1:-http://localhost:4565/sample/notice.html}
page=$(tr -d '\r')

title=$(printf '%s\n' "$page" | sed -n 's:.*<title>\([^<]*\)</title>.*:\1:p' | head -n 1)
[ -n "$title" ] || title=$base

printf '<?xml version="1.0" encoding="Shift_JIS"?>\n<rss version="2.0">\n<channel>\n'
printf '<title>%s</title>\n<link>%s</link>\n<description>%s</description>\n' \
  "$title" "$base" "$title"

# One line per notice: anchor, date, title.
printf '%s\n' "$page" |
  sed -n 's:.*<li><a href="#\([A-Za-z0-9_-]*\)">\([^<]*\)</a> *<span class="date">\([0-9-]*\)</span>.*:\1 \3 \2:p' |
  while read -r anchor date text; do
    printf '<item>\n<title>%s</title>\n<link>%s#%s</link>\n' "$text" "$base" "$anchor"
    # GNU date gives the mail form feeds use; the page's dates are Japanese days.
    when=$(TZ=Asia/Tokyo date -R -d "$date" 2>/dev/null) && printf '<pubDate>%s</pubDate>\n' "$when"
    printf '</item>\n'
  done

printf '</channel>\n</rss>\n'

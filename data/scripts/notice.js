// Turns the sample notice page (data/www/sample/notice.html) into an RSS 2.0 feed.
//   args[0]  the page's address: the channel link, and the base of the item links
//   args[1]  the channel's title (optional; else the page's <title>)
// The page arrives as one whole-line read; the feed leaves as one write.

var page = readln() || '';
var base = args.length > 0 ? args[0] : 'http://localhost:4565/sample/notice.html';

function firstMatch(re, text) {
  var m = re.exec(text);
  return m ? m[1] : '';
}

// Text from the page is already HTML; only bare ampersands and angle brackets need care.
function xmlText(s) {
  return s.replace(/&(?!(?:amp|lt|gt|quot|apos|#\d+|#x[0-9a-fA-F]+);)/g, '&amp;')
          .replace(/</g, '&lt;').replace(/>/g, '&gt;');
}

var DAYS = ['Sun', 'Mon', 'Tue', 'Wed', 'Thu', 'Fri', 'Sat'];
var MONTHS = ['Jan', 'Feb', 'Mar', 'Apr', 'May', 'Jun',
              'Jul', 'Aug', 'Sep', 'Oct', 'Nov', 'Dec'];

// "2024-07-01" -> "Mon, 01 Jul 2024 00:00:00 +0900" (the page gives Japanese dates).
function rfc822(ymd) {
  var p = ymd.split('-');
  var d = new Date(Date.UTC(+p[0], +p[1] - 1, +p[2]));
  var day = d.getUTCDate();
  return DAYS[d.getUTCDay()] + ', ' + (day < 10 ? '0' : '') + day + ' ' +
         MONTHS[d.getUTCMonth()] + ' ' + d.getUTCFullYear() + ' 00:00:00 +0900';
}

// The first 60 characters of a notice; string functions count characters, so
// Japanese text is cut between characters, never inside one.
function summary(text) {
  text = text.replace(/\s+/g, ' ');
  return text.length > 60 ? text.substring(0, 60) + '\u2026' : text;
}

var title = args.length > 1 && args[1] ? args[1]
          : firstMatch(/<title>([^<]*)<\/title>/i, page) || base;

var out = [];
out.push('<?xml version="1.0" encoding="Shift_JIS"?>');
out.push('<rss version="2.0">');
out.push('<channel>');
out.push('<title>' + xmlText(title) + '</title>');
out.push('<link>' + xmlText(base) + '</link>');
out.push('<description>' + xmlText(firstMatch(/<p>([^<]*)<\/p>/, page) || title) + '</description>');

var item = /<li><a href="#([\w-]+)">([^<]*)<\/a>\s*<span class="date">([\d-]+)<\/span>/g;
var m;
while ((m = item.exec(page)) !== null) {
  var body = firstMatch(new RegExp('<div[^>]*id="' + m[1] + '"[^>]*>[\\s\\S]*?<p>([\\s\\S]*?)</p>'), page);
  out.push('<item>');
  out.push('<title>' + xmlText(m[2]) + '</title>');
  out.push('<link>' + xmlText(base + '#' + m[1]) + '</link>');
  out.push('<description>' + xmlText(summary(body)) + '</description>');
  out.push('<pubDate>' + rfc822(m[3]) + '</pubDate>');
  out.push('</item>');
}

out.push('</channel>');
out.push('</rss>');
println(out.join('\n'));

/*
 * MD5 (RFC 1321) for pages of the ZEP3 web server.
 * hex_md5(text) gives the digest of the text's characters taken as 8-bit
 * bytes (see md5_byte) as 32 lower-case hexadecimal digits.
 */

/* The characters above U+00FF of the Windows-1250 bytes 0x80 to 0xFF
 * (U+0000 where that byte's character is below U+0100 or undefined). */
var md5_cp1250 =
  "\u20AC\u0000\u201A\u0000\u201E\u2026\u2020\u2021" +
  "\u0000\u2030\u0160\u2039\u015A\u0164\u017D\u0179" +
  "\u0000\u2018\u2019\u201C\u201D\u2022\u2013\u2014" +
  "\u0000\u2122\u0161\u203A\u015B\u0165\u017E\u017A" +
  "\u0000\u02C7\u02D8\u0141\u0000\u0104\u0000\u0000" +
  "\u0000\u0000\u015E\u0000\u0000\u0000\u0000\u017B" +
  "\u0000\u0000\u02DB\u0142\u0000\u0000\u0000\u0000" +
  "\u0000\u0105\u015F\u0000\u013D\u02DD\u013E\u017C" +
  "\u0154\u0000\u0000\u0102\u0000\u0139\u0106\u0000" +
  "\u010C\u0000\u0118\u0000\u011A\u0000\u0000\u010E" +
  "\u0110\u0143\u0147\u0000\u0000\u0150\u0000\u0000" +
  "\u0158\u016E\u0000\u0170\u0000\u0000\u0162\u0000" +
  "\u0155\u0000\u0000\u0103\u0000\u013A\u0107\u0000" +
  "\u010D\u0000\u0119\u0000\u011B\u0000\u0000\u010F" +
  "\u0111\u0144\u0148\u0000\u0000\u0151\u0000\u0000" +
  "\u0159\u016F\u0000\u0171\u0000\u0000\u0163\u02D9";

/* A character as an 8-bit byte: codes up to 255 as they are; the letters and
 * signs of Windows-1250 above them (the login page and the server's user
 * table are Windows-1250, so a Polish password matches) as their byte there;
 * any other character by its low 8 bits. */
function md5_byte(code) {
  if (code < 256) return code;
  var at = md5_cp1250.indexOf(String.fromCharCode(code));
  return at >= 0 ? 0x80 + at : code & 0xFF;
}

/* floor(abs(sin(i + 1)) * 2^32) for i = 0 to 63. */
var md5_sines = [
  0xD76AA478, 0xE8C7B756, 0x242070DB, 0xC1BDCEEE,
  0xF57C0FAF, 0x4787C62A, 0xA8304613, 0xFD469501,
  0x698098D8, 0x8B44F7AF, 0xFFFF5BB1, 0x895CD7BE,
  0x6B901122, 0xFD987193, 0xA679438E, 0x49B40821,
  0xF61E2562, 0xC040B340, 0x265E5A51, 0xE9B6C7AA,
  0xD62F105D, 0x02441453, 0xD8A1E681, 0xE7D3FBC8,
  0x21E1CDE6, 0xC33707D6, 0xF4D50D87, 0x455A14ED,
  0xA9E3E905, 0xFCEFA3F8, 0x676F02D9, 0x8D2A4C8A,
  0xFFFA3942, 0x8771F681, 0x6D9D6122, 0xFDE5380C,
  0xA4BEEA44, 0x4BDECFA9, 0xF6BB4B60, 0xBEBFBC70,
  0x289B7EC6, 0xEAA127FA, 0xD4EF3085, 0x04881D05,
  0xD9D4D039, 0xE6DB99E5, 0x1FA27CF8, 0xC4AC5665,
  0xF4292244, 0x432AFF97, 0xAB9423A7, 0xFC93A039,
  0x655B59C3, 0x8F0CCC92, 0xFFEFF47D, 0x85845DD1,
  0x6FA87E4F, 0xFE2CE6E0, 0xA3014314, 0x4E0811A1,
  0xF7537E82, 0xBD3AF235, 0x2AD7D2BB, 0xEB86D391
];

/* The left rotations of the four rounds. */
var md5_shifts = [7, 12, 17, 22, 5, 9, 14, 20, 4, 11, 16, 23, 6, 10, 15, 21];

/* The message as little-endian 32-bit words, padded to whole 64-byte blocks
 * with the 0x80 byte and the bit length in the last two words. */
function md5_message_words(text) {
  var n = text.length;
  var count = (((n + 8) >> 6) + 1) * 16;
  var words = new Array(count);
  for (var i = 0; i < count; i++) words[i] = 0;
  for (i = 0; i < n; i++) words[i >> 2] |= md5_byte(text.charCodeAt(i)) << (8 * (i & 3));
  words[n >> 2] |= 0x80 << (8 * (n & 3));
  words[count - 2] = (n * 8) | 0;
  words[count - 1] = Math.floor(n / 0x20000000);
  return words;
}

function md5_words(text) {
  var m = md5_message_words(text);
  var h = [0x67452301, 0xEFCDAB89 | 0, 0x98BADCFE | 0, 0x10325476];
  for (var block = 0; block < m.length; block += 16) {
    var a = h[0], b = h[1], c = h[2], d = h[3];
    for (var i = 0; i < 64; i++) {
      var round = i >> 4, f, g;
      if (round == 0) {
        f = (b & c) | (~b & d);
        g = i;
      } else if (round == 1) {
        f = (b & d) | (c & ~d);
        g = (5 * i + 1) & 15;
      } else if (round == 2) {
        f = b ^ c ^ d;
        g = (3 * i + 5) & 15;
      } else {
        f = c ^ (b | ~d);
        g = (7 * i) & 15;
      }
      var sum = (a + f + (md5_sines[i] | 0) + m[block + g]) | 0;
      var s = md5_shifts[round * 4 + (i & 3)];
      a = d;
      d = c;
      c = b;
      b = (b + ((sum << s) | (sum >>> (32 - s)))) | 0;
    }
    h[0] = (h[0] + a) | 0;
    h[1] = (h[1] + b) | 0;
    h[2] = (h[2] + c) | 0;
    h[3] = (h[3] + d) | 0;
  }
  return h;
}

function hex_md5(text) {
  var digits = "0123456789abcdef";
  var h = md5_words(String(text));
  var out = "";
  for (var i = 0; i < 16; i++) {
    var byte = (h[i >> 2] >>> (8 * (i & 3))) & 0xFF;
    out += digits.charAt(byte >> 4) + digits.charAt(byte & 0xF);
  }
  return out;
}

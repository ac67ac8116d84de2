/*
 * SHA-1 (FIPS 180-1) for the login page of the ZEP3 web server.
 * hex_sha1(text) gives the digest of the text's characters taken as 8-bit
 * bytes (see sha1_byte) as 40 upper-case hexadecimal digits, the form the
 * server compares.
 */

/* The characters above U+00FF of the Windows-1250 bytes 0x80 to 0xFF
 * (U+0000 where that byte's character is below U+0100 or undefined). */
var sha1_cp1250 =
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
function sha1_byte(code) {
  if (code < 256) return code;
  var at = sha1_cp1250.indexOf(String.fromCharCode(code));
  return at >= 0 ? 0x80 + at : code & 0xFF;
}

function sha1_rotate(x, n) {
  return (x << n) | (x >>> (32 - n));
}

/* The message as big-endian 32-bit words, padded to whole 64-byte blocks
 * with the 0x80 byte and the bit length in the last two words. */
function sha1_message_words(text) {
  var n = text.length;
  var count = (((n + 8) >> 6) + 1) * 16;
  var words = new Array(count);
  for (var i = 0; i < count; i++) words[i] = 0;
  for (i = 0; i < n; i++) words[i >> 2] |= sha1_byte(text.charCodeAt(i)) << (24 - 8 * (i & 3));
  words[n >> 2] |= 0x80 << (24 - 8 * (n & 3));
  words[count - 2] = Math.floor(n / 0x20000000);
  words[count - 1] = (n * 8) | 0;
  return words;
}

/* The five chaining words after every block of the message. */
function sha1_words(text) {
  var m = sha1_message_words(text);
  var h = [0x67452301, 0xEFCDAB89 | 0, 0x98BADCFE | 0, 0x10325476, 0xC3D2E1F0 | 0];
  var w = new Array(80);
  for (var block = 0; block < m.length; block += 16) {
    for (var t = 0; t < 16; t++) w[t] = m[block + t];
    for (t = 16; t < 80; t++) w[t] = sha1_rotate(w[t - 3] ^ w[t - 8] ^ w[t - 14] ^ w[t - 16], 1);
    var a = h[0], b = h[1], c = h[2], d = h[3], e = h[4];
    for (t = 0; t < 80; t++) {
      var f, k;
      if (t < 20) {
        f = (b & c) | (~b & d);
        k = 0x5A827999;
      } else if (t < 40) {
        f = b ^ c ^ d;
        k = 0x6ED9EBA1;
      } else if (t < 60) {
        f = (b & c) | (b & d) | (c & d);
        k = 0x8F1BBCDC | 0;
      } else {
        f = b ^ c ^ d;
        k = 0xCA62C1D6 | 0;
      }
      var next = (sha1_rotate(a, 5) + f + e + k + w[t]) | 0;
      e = d;
      d = c;
      c = sha1_rotate(b, 30);
      b = a;
      a = next;
    }
    h[0] = (h[0] + a) | 0;
    h[1] = (h[1] + b) | 0;
    h[2] = (h[2] + c) | 0;
    h[3] = (h[3] + d) | 0;
    h[4] = (h[4] + e) | 0;
  }
  return h;
}

function hex_sha1(text) {
  var digits = "0123456789ABCDEF";
  var h = sha1_words(String(text));
  var out = "";
  for (var i = 0; i < 5; i++)
    for (var shift = 28; shift >= 0; shift -= 4) out += digits.charAt((h[i] >>> shift) & 0xF);
  return out;
}

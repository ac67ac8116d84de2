/*
 * SHA-1 (FIPS 180-1) for the login page of the ZEP3 web server.
 * hex_sha1(text) gives the digest of the text's characters taken as 8-bit
 * bytes (a character above 255 counts by its low 8 bits) as 40 upper-case
 * hexadecimal digits, the form the server compares.
 */

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
  for (i = 0; i < n; i++) words[i >> 2] |= (text.charCodeAt(i) & 0xFF) << (24 - 8 * (i & 3));
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

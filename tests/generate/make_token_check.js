// Cross-check of the "tk" token vectors in test_translation.cpp, written straight from the token steps
// with plain unsigned 32-bit arithmetic (every intermediate value forced through ">>> 0").
// Not part of the test suite; run by hand:   node tests/generate/make_token_check.js
// It prints one line per input: the input's UTF-16 units in hex, then the token.
'use strict';

const H = 406398;
const K = (561666268 + 1526272306) >>> 0;

function mix(a, ops) {
  for (let i = 0; i + 3 <= ops.length; i += 3) {
    const [o, s, c] = ops.slice(i, i + 3);
    const count = c >= 'a' && c <= 'f' ? c.charCodeAt(0) - 87 : c.charCodeAt(0) - 48;
    const t = s === '+' ? a >>> count : (a << count) >>> 0;
    a = o === '+' ? (a + t) >>> 0 : (a ^ t) >>> 0;
  }
  return a;
}

function walk(units) {
  const out = [];
  for (let i = 0; i < units.length; i++) {
    let u = units[i];
    if (u < 0x80) out.push(u);
    else if (u < 0x800) out.push((u >> 6) | 0xc0, (u & 0x3f) | 0x80);
    else if ((u & 0xfc00) === 0xd800 && i + 1 < units.length && (units[i + 1] & 0xfc00) === 0xdc00) {
      u = 0x10000 + ((u & 0x3ff) << 10) + (units[++i] & 0x3ff);
      out.push((u >> 18) | 0xf0, ((u >> 12) & 0x3f) | 0x80, ((u >> 6) & 0x3f) | 0x80, (u & 0x3f) | 0x80);
    } else out.push((u >> 12) | 0xe0, ((u >> 6) & 0x3f) | 0x80, (u & 0x3f) | 0x80);
  }
  return out;
}

function token(units) {
  let a = H;
  for (const b of walk(units)) a = mix((a + b) >>> 0, '+-a^+6');
  a = mix(a, '+-3^+b+-f');
  a = (a ^ K) >>> 0;
  a %= 1000000;
  return a + '.' + ((a ^ H) >>> 0);
}

const inputs = [
  [],                        // empty text
  [0x61],                    // "a"
  [0x48, 0x65, 0x6c, 0x6c, 0x6f],  // "Hello"
  [0xe9],                    // "é": a two-byte unit
  [0x4f60, 0x597d],          // "你好"
  [0xd83d, 0xde00],          // U+1F600 as a surrogate pair
  [0xd83d, 0x61],            // a lone high surrogate before "a"
  [0xde00],                  // a lone low surrogate
];
for (const units of inputs) {
  console.log(units.map((u) => u.toString(16)).join(' ') + ' -> ' + token(units));
}

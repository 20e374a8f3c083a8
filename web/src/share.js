// A program in a link: the source as UTF-8, deflated, in base64url, after a version tag and
// the CRC-32 of the source. Decoding checks every step and says what is wrong, so a damaged
// or hostile fragment never silently gives another program.

const VERSION = 'v1';
const MAX_SOURCE = 4 << 20; // bytes of source a link may unpack to

const CRC_TABLE = (() => {
  const table = new Uint32Array(256);
  for (let n = 0; n < 256; ++n) {
    let c = n;
    for (let k = 0; k < 8; ++k) c = c & 1 ? 0xedb88320 ^ (c >>> 1) : c >>> 1;
    table[n] = c >>> 0;
  }
  return table;
})();

export function crc32(bytes) {
  let c = 0xffffffff;
  for (let i = 0; i < bytes.length; ++i) c = CRC_TABLE[(c ^ bytes[i]) & 0xff] ^ (c >>> 8);
  return (c ^ 0xffffffff) >>> 0;
}

function toBase64Url(bytes) {
  let binary = '';
  for (let i = 0; i < bytes.length; i += 0x8000) binary += String.fromCharCode(...bytes.subarray(i, i + 0x8000));
  return btoa(binary).replace(/\+/g, '-').replace(/\//g, '_').replace(/=+$/, '');
}

function fromBase64Url(text) {
  if (!/^[A-Za-z0-9_-]*$/.test(text) || text.length % 4 === 1) throw new Error('the link is not valid base64url');
  const binary = atob(text.replace(/-/g, '+').replace(/_/g, '/') + '==='.slice((text.length + 3) % 4));
  const bytes = new Uint8Array(binary.length);
  for (let i = 0; i < binary.length; ++i) bytes[i] = binary.charCodeAt(i);
  return bytes;
}

async function pipe(bytes, transform, limit) {
  const reader = new Blob([bytes]).stream().pipeThrough(transform).getReader();
  const parts = [];
  let size = 0;
  for (;;) {
    const { done, value } = await reader.read();
    if (done) break;
    size += value.length;
    if (size > limit) {
      await reader.cancel();
      throw new Error('the program in the link is too large');
    }
    parts.push(value);
  }
  const out = new Uint8Array(size);
  let at = 0;
  for (const part of parts) {
    out.set(part, at);
    at += part.length;
  }
  return out;
}

// The fragment (without '#') that carries `source`.
export async function encodeProgram(source) {
  const bytes = new TextEncoder().encode(source);
  const packed = await pipe(bytes, new CompressionStream('deflate-raw'), Infinity);
  return VERSION + '.' + crc32(bytes).toString(16).padStart(8, '0') + '.' + toBase64Url(packed);
}

// The source that `fragment` carries; throws an Error saying why it cannot be read.
export async function decodeProgram(fragment) {
  const parts = fragment.split('.');
  if (parts.length !== 3 || parts[0] !== VERSION) throw new Error('the link is not a program link of this playground');
  if (!/^[0-9a-f]{8}$/.test(parts[1])) throw new Error('the link has no valid checksum');
  const packed = fromBase64Url(parts[2]);
  let bytes;
  try {
    bytes = await pipe(packed, new DecompressionStream('deflate-raw'), MAX_SOURCE);
  } catch (error) {
    if (error.message.includes('too large')) throw error;
    throw new Error('the program in the link is truncated or damaged');
  }
  if (crc32(bytes) !== parseInt(parts[1], 16)) throw new Error('the checksum does not match: the link is damaged');
  try {
    return new TextDecoder('utf-8', { fatal: true }).decode(bytes);
  } catch {
    throw new Error('the program in the link is not UTF-8 text');
  }
}

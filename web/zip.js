// A .zip file of stored (uncompressed) members: local headers, the data, the central
// directory and its end record. Listings are small text files; storing them keeps this a
// few lines with nothing to load, and any unzip reads the result.
"use strict";

const crc_table = (() => {
  const table = new Uint32Array(256);
  for (let n = 0; n < 256; n++) {
    let c = n;
    for (let k = 0; k < 8; k++) c = c & 1 ? 0xedb88320 ^ (c >>> 1) : c >>> 1;
    table[n] = c >>> 0;
  }
  return table;
})();

function crc32(bytes) {
  let c = 0xffffffff;
  for (let i = 0; i < bytes.length; i++) c = crc_table[(c ^ bytes[i]) & 0xff] ^ (c >>> 8);
  return (c ^ 0xffffffff) >>> 0;
}

// `files`: [{name: string (ASCII), data: Uint8Array}]. Returns the .zip as a Uint8Array.
function make_zip(files, when = new Date()) {
  const time = (when.getHours() << 11) | (when.getMinutes() << 5) | (when.getSeconds() >> 1);
  const date = ((when.getFullYear() - 1980) << 9) | ((when.getMonth() + 1) << 5) | when.getDate();
  const parts = [];
  const central = [];
  let offset = 0;
  for (const file of files) {
    const name = new TextEncoder().encode(file.name);
    const crc = crc32(file.data);
    // Version needed 2.0, no flags, method 0 (stored).
    const fields = (view, at) => {
      view.setUint16(at, 20, true);
      view.setUint16(at + 2, 0, true);
      view.setUint16(at + 4, 0, true);
      view.setUint16(at + 6, time, true);
      view.setUint16(at + 8, date, true);
      view.setUint32(at + 10, crc, true);
      view.setUint32(at + 14, file.data.length, true);
      view.setUint32(at + 18, file.data.length, true);
      view.setUint16(at + 22, name.length, true);
      view.setUint16(at + 24, 0, true);
    };
    const local = new Uint8Array(30 + name.length);
    const lv = new DataView(local.buffer);
    lv.setUint32(0, 0x04034b50, true);
    fields(lv, 4);
    local.set(name, 30);
    const entry = new Uint8Array(46 + name.length);
    const cv = new DataView(entry.buffer);
    cv.setUint32(0, 0x02014b50, true);
    cv.setUint16(4, 20, true);  // made by: version 2.0
    fields(cv, 6);
    // Comment length, disk number, internal and external attributes stay 0.
    cv.setUint32(42, offset, true);
    entry.set(name, 46);
    parts.push(local, file.data);
    central.push(entry);
    offset += local.length + file.data.length;
  }
  const central_size = central.reduce((sum, e) => sum + e.length, 0);
  const end = new Uint8Array(22);
  const ev = new DataView(end.buffer);
  ev.setUint32(0, 0x06054b50, true);
  ev.setUint16(8, files.length, true);
  ev.setUint16(10, files.length, true);
  ev.setUint32(12, central_size, true);
  ev.setUint32(16, offset, true);
  const all = [...parts, ...central, end];
  const zip = new Uint8Array(all.reduce((sum, p) => sum + p.length, 0));
  let at = 0;
  for (const p of all) {
    zip.set(p, at);
    at += p.length;
  }
  return zip;
}

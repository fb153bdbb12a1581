// The page: files in, brenvik's library (brenvik.wasm) on them, its results shown and offered
// for download. Nothing is sent anywhere.
"use strict";

const $ = (id) => document.getElementById(id);
const versions = [
  "0: ROM BASIC ($0300)", "1: OS65D V3.2 Plot BASIC 5.25\" ($3A7E)",
  "2: OS65D V3.3 BASIC 5.25\" ($3A7E)", "3: OS65D V3.1 BASIC 5.25\" ($327E)",
  "4: OS65D V3.1 BASIC 8\" ($317E)", "5: OS65U V1.42 ($6000)", "6: OS65U V1.44 ($6000)",
];
const disk_sizes = [92160, 295680];
const checkpoint_sizes = [34832, 14351, 34831];
const dump_sizes = [8192, 16384, 24576, 32768, 40960, 49152, 65536];

let lib = null;          // the WebAssembly module
let keyword_lists = [];  // per version, for highlighting
const state = {disk: null, disk_name: "", listing: null, listing_name: "", image: null,
               image_name: "", store_disk: null, store_disk_name: "", new_disk: null};

// ---- the library's door ----

function to_heap(bytes) {
  const at = lib._malloc(Math.max(bytes.length, 1));
  lib.HEAPU8.set(bytes, at);
  return at;
}
// Names from the user's files as UTF-8; entry names as the bytes their JSON escapes stand for.
const utf8 = (text) => new TextEncoder().encode(text + "\0");
const latin1 = (text) => Uint8Array.from(text + "\0", (c) => c.charCodeAt(0) & 0xff);

// Calls brenvik_<name> with `args`: numbers as they are, Uint8Array as a pointer and its
// length, {text} and {name} as zero-ended strings. Returns what the result holds.
function call(name, ...args) {
  const held = [];
  const flat = [];
  for (const a of args) {
    if (a instanceof Uint8Array) {
      const at = to_heap(a);
      held.push(at);
      flat.push(at, a.length);
    } else if (typeof a === "object") {
      const at = to_heap(a.entry !== undefined ? latin1(a.entry) : utf8(a.text));
      held.push(at);
      flat.push(at);
    } else {
      flat.push(a);
    }
  }
  const r = lib["_brenvik_" + name](...flat);
  held.forEach((at) => lib._free(at));
  const data_at = lib._brenvik_result_data(r);
  const size = lib._brenvik_result_size(r);
  const messages_at = lib._brenvik_result_messages(r);
  const messages_size = lib._brenvik_result_messages_size(r);
  const result = {
    data: lib.HEAPU8.slice(data_at, data_at + size),
    messages: new TextDecoder().decode(lib.HEAPU8.subarray(messages_at, messages_at + messages_size)),
    status: lib._brenvik_result_status(r),
    version: lib._brenvik_result_version(r),
    address: lib._brenvik_result_load_address(r),
  };
  lib._brenvik_free(r);
  return result;
}

// ---- small helpers ----

const hex4 = (n) => "$" + n.toString(16).toUpperCase().padStart(4, "0");
const text_of = (bytes) => new TextDecoder("latin1").decode(bytes);
const bytes_of = (text) => Uint8Array.from(text, (c) => c.charCodeAt(0) & 0xff);

function chosen_version(select) {
  return select.value === "" ? -1 : Number(select.value);
}
function chosen_address(input) {
  const v = input.value.trim();
  return /^[0-9A-Fa-f]{1,4}$/.test(v) ? parseInt(v, 16) : -1;
}

function show_messages(pre, messages) {
  pre.textContent = messages.replace(/\r\n/g, "\n").replace(/^\n+/, "");
  pre.hidden = messages.length === 0;
}

function download(bytes, name, type = "application/octet-stream") {
  const url = URL.createObjectURL(new Blob([bytes], {type}));
  const a = document.createElement("a");
  a.href = url;
  a.download = name;
  document.body.append(a);
  a.click();
  a.remove();
  setTimeout(() => URL.revokeObjectURL(url), 1000);
}

// A name from a disk as the command line shows it: bytes outside 20-7E, and %, as %XX.
const shown_name = (name) => name.replace(/[^\x20-\x24\x26-\x7e]/g,
    (c) => "%" + (c.charCodeAt(0) & 0xff).toString(16).toUpperCase().padStart(2, "0"));

const stem = (name) => name.replace(/^.*[\\/]/, "").replace(/\.[^.]*$/, "") || name;

// The file name the command line gives an entry's listing in a folder.
function entry_file_name(entry) {
  const name = entry.replace(/ +$/, "") || " ";
  let file = "";
  [...name].forEach((c, i) => {
    const kept = /[A-Za-z0-9!#$&'()+,\-.;=@[\]^_{}~]/.test(c) && !(i === 0 && c === ".");
    file += kept ? c : "%" + (c.charCodeAt(0) & 0xff).toString(16).toUpperCase().padStart(2, "0");
  });
  return file + ".bas";
}

// ---- listings ----

// A listing with its line numbers right-aligned and, outside strings and after REM, the
// version's keywords marked.
function render_listing(pre, bytes, version) {
  const lines = text_of(bytes).split("\r\n");
  if (lines[lines.length - 1] === "") lines.pop();
  const width = Math.max(1, ...lines.map((l) => (l.match(/^\d+/) || [""])[0].length));
  const words = (keyword_lists[version] || []).filter((w) => /^[A-Z]/.test(w) && w !== "xxx")
      .sort((a, b) => b.length - a.length);
  const keyword = words.length ? new RegExp(words.map((w) => w.replace(/[$(]/g, "\\$&")).join("|"), "y") : null;
  const frag = document.createDocumentFragment();
  for (const line of lines) {
    const m = line.match(/^(\d+) ?/);
    const number = document.createElement("span");
    number.className = "ln";
    number.textContent = (m ? m[1] : "").padStart(width, " ") + " ";
    frag.append(number);
    let rest = m ? line.slice(m[0].length) : line;
    let plain = "";
    let quoted = false;
    for (let i = 0; i < rest.length;) {
      if (rest[i] === '"') quoted = !quoted;
      if (!quoted && keyword) {
        keyword.lastIndex = i;
        const k = keyword.exec(rest);
        if (k) {
          if (plain) frag.append(plain);
          plain = "";
          const kw = document.createElement("span");
          kw.className = "kw";
          kw.textContent = k[0];
          frag.append(kw);
          i += k[0].length;
          if (k[0] === "REM") {
            plain = rest.slice(i);
            break;
          }
          continue;
        }
      }
      plain += rest[i++];
    }
    frag.append(plain + "\n");
  }
  pre.replaceChildren(frag);
}

function show_listing(result, title, file_name, facts) {
  $("listing-view").hidden = false;
  $("listing-title").textContent = title;
  show_messages($("listing-messages"), result.messages);
  state.listing = result.status === 0 || result.data.length ? result.data : null;
  state.listing_name = file_name;
  $("listing-download").disabled = !state.listing;
  const version = result.version >= 0 ? versions[result.version] : "none";
  const address = result.address >= 0 ? hex4(result.address) : "none";
  $("listing-facts").textContent =
      (facts ? facts + ". " : "") + `Version ${version}; load address ${address}.` +
      (result.status === 0 ? "" : " The program could not be listed whole.");
  render_listing($("listing"), result.data, result.version);
}

// ---- what a file is ----

function looks_like_text(bytes) {
  const sample = bytes.subarray(0, 4096);
  let i = 0;
  while (i < sample.length && [9, 10, 13, 32].includes(sample[i])) i++;
  if (i >= sample.length || sample[i] < 0x30 || sample[i] > 0x39) return false;
  return sample.every((b) => b === 9 || b === 10 || b === 13 || (b >= 32 && b < 127));
}

function kind_of(bytes, name) {
  const start = text_of(bytes.subarray(0, 16));
  if (/\.(mem|dmp|ckpt|sav)$/i.test(name)) return "memory";
  if (disk_sizes.includes(bytes.length) || start === "OSIDISKBITSTREAM") return "disk";
  if (checkpoint_sizes.includes(bytes.length) || dump_sizes.includes(bytes.length) ||
      (bytes[0] === 0x78 && bytes[1] === 0x9c)) return "memory";
  if (looks_like_text(bytes)) return "text";
  return "image";
}

const kind_names = {disk: "a disk image", memory: "a memory snapshot",
                    text: "a text listing", image: "a tokenized program image"};

function open_file(bytes, name) {
  const chosen = $("read-as").value;
  let kind = chosen === "auto" ? kind_of(bytes, name) : chosen;
  // No image but a program where a snapshot's BASIC pointers say: a memory dump.
  let memory = null;
  if (chosen === "auto" && kind === "image") {
    const r = call("list_image", bytes, {text: name}, -1, -1, 0);
    if (r.status !== 0 && r.data.length === 0) {
      memory = call("list_memory", bytes, {text: name}, chosen_version($("version-select")),
                    chosen_address($("address")), -1);
      if (memory.status === 0) kind = "memory";
    }
  }
  $("kind").textContent = `${name} (${bytes.length} bytes) is read as ${kind_names[kind]}.`;
  $("disk-view").hidden = kind !== "disk";
  $("listing-view").hidden = true;
  state.image = bytes;
  state.image_name = name;
  const version = chosen_version($("version-select"));
  const address = chosen_address($("address"));
  if (kind === "disk") {
    open_disk(bytes, name);
    set_store_disk(bytes, name);
  } else if (kind === "memory") {
    const r = memory || call("list_memory", bytes, {text: name}, version, address, -1);
    show_listing(r, "Listing of the memory snapshot", stem(name) + ".bas", name);
  } else if (kind === "text") {
    $("source").value = text_of(bytes);
    $("entry-name").value = stem(name).toUpperCase().slice(0, 6);
    tokenize(name);
    $("source").focus();
  } else {
    const r = call("list_image", bytes, {text: name}, version, address, 0);
    show_listing(r, "Listing", stem(name) + ".bas", name);
  }
  if (!$("listing-view").hidden) $("listing").focus();
}

// ---- disks ----

function open_disk(bytes, name) {
  state.disk = bytes;
  state.disk_name = name;
  const version = chosen_version($("version-select"));
  const r = call("disk_directory", bytes, {text: name}, 1, version);
  show_messages($("disk-messages"), r.messages);
  const body = $("directory").querySelector("tbody");
  body.replaceChildren();
  $("free").textContent = "";
  $("zip-status").textContent = "";
  if (r.status !== 0) {
    $("disk-facts").textContent = "This disk cannot be read.";
    $("zip-all").disabled = true;
    return;
  }
  const dir = JSON.parse(text_of(r.data));
  state.directory = dir;
  $("disk-facts").textContent = `${dir.dos}, ${dir.size}" ${dir.form} image, ${dir.tracks} tracks` +
      (dir.directory_track !== null ? `, directory on track ${dir.directory_track}` : "") + ".";
  for (const e of dir.entries) {
    const row = document.createElement("tr");
    const tracks = e.first === null ? "?" : `${e.first}-${e.last}`;
    const cells = [shown_name(e.name), tracks,
                   e.kind === "basic" ? "BASIC" : e.kind === "other" ? "other" : "unreadable: " + e.problem,
                   e.kind === "basic" ? hex4(e.load) : "", e.kind === "basic" ? `${e.length} bytes` : ""];
    cells.forEach((text, i) => {
      const cell = document.createElement(i === 0 ? "th" : "td");
      if (i === 0) cell.scope = "row";
      cell.textContent = text;
      row.append(cell);
    });
    if (e.kind === "basic") {
      row.tabIndex = 0;
      row.className = "entry";
      row.setAttribute("role", "button");
      row.setAttribute("aria-label", `List ${e.name}`);
      row.dataset.entry = e.name;
      const open = () => list_entry(e.name);
      row.addEventListener("click", open);
      row.addEventListener("keydown", (ev) => {
        if (ev.key === "Enter" || ev.key === " ") {
          ev.preventDefault();
          open();
        }
      });
    }
    body.append(row);
  }
  const free = dir.free_tracks.length;
  $("free").textContent = `Free: ${free} track${free === 1 ? "" : "s"}` +
      (dir.longest_free_run ? `, longest run ${dir.longest_free_run.length} from track ${dir.longest_free_run.first}` : "") + ".";
  $("zip-all").disabled = !dir.entries.some((e) => e.kind === "basic");
  $("directory-text").textContent = text_of(call("disk_directory", bytes, {text: name}, 0, version).data);
}

function list_entry(entry) {
  const r = call("list_entry", state.disk, {text: state.disk_name}, {entry}, chosen_version($("version-select")));
  show_listing(r, `Listing of ${entry}`, entry_file_name(entry), `${entry} on ${state.disk_name}`);
  $("listing").focus();
}

// Lists every BASIC entry of the disk into one .zip, as the command line's -o folder/ does.
function zip_all() {
  const started = performance.now();
  const version = chosen_version($("version-select"));
  const files = [];
  let messages = "";
  for (const e of state.directory.entries) {
    if (e.kind !== "basic") continue;
    const r = call("list_entry", state.disk, {text: state.disk_name}, {entry: e.name}, version);
    messages += r.messages;
    if (r.status === 0) files.push({name: entry_file_name(e.name), data: r.data});
  }
  const zip = make_zip(files);
  const took = performance.now() - started;
  show_messages($("disk-messages"), messages);
  $("zip-status").textContent = `${files.length} listings in ${took.toFixed(0)} ms.`;
  $("zip-status").dataset.ms = took.toFixed(1);
  download(zip, stem(state.disk_name) + ".zip", "application/zip");
}

// ---- tokenizing and storing ----

function reading() {
  return {typed: document.querySelector('input[name="mode"]:checked').value === "typed" ? 1 : 0,
          version: chosen_version($("tokenize-version")),
          address: chosen_address($("tokenize-address"))};
}

function tokenize(name = "listing") {
  const how = reading();
  const r = call("tokenize", bytes_of($("source").value.replace(/\r?\n/g, "\r\n")), {text: name},
                 how.typed, how.version, how.address);
  show_messages($("tokenize-messages"), r.messages);
  state.tokenized = r.status === 0 ? r.data : null;
  state.tokenized_name = stem(name) + ".tok";
  $("tokenize-download").disabled = !state.tokenized;
  $("tokenize-facts").textContent = r.status === 0
      ? `${r.data.length} bytes for ${versions[r.version] || "no version"} at ${hex4(r.address)}.`
      : "The listing could not be tokenized whole.";
}

function set_store_disk(bytes, name) {
  state.store_disk = bytes;
  state.store_disk_name = name;
  $("store-disk").textContent = `${name} (${bytes.length} bytes)`;
}

function store() {
  if (!state.store_disk) {
    show_messages($("store-messages"), "Choose a disk first.");
    return;
  }
  const how = reading();
  const out = stem(state.store_disk_name) + "-new" + (state.store_disk_name.match(/\.[^.]*$/) || [""])[0];
  const r = call("store", state.store_disk, {text: state.store_disk_name}, {text: out},
                 {entry: $("entry-name").value.trim()},
                 bytes_of($("source").value.replace(/\r?\n/g, "\r\n")), {text: "listing"},
                 how.typed, how.version, how.address);
  show_messages($("store-messages"), r.messages || (r.status === 0 ? `Stored; ${out} is ready.` : ""));
  state.new_disk = r.status === 0 ? r.data : null;
  state.new_disk_name = out;
  $("store-download").disabled = !state.new_disk;
}

// ---- keywords ----

function show_keywords() {
  const v = Number($("keywords-version").value);
  $("keywords-name").textContent = versions[v];
  const list = $("keywords");
  list.replaceChildren(...keyword_lists[v].map((w, i) => {
    const item = document.createElement("li");
    item.textContent = w;
    item.title = "token " + (0x80 + i).toString(16).toUpperCase();
    item.dataset.code = (0x80 + i).toString(16).toUpperCase();
    return item;
  }));
}

// ---- wiring ----

function read_file(file, then) {
  file.arrayBuffer().then((buffer) => then(new Uint8Array(buffer), file.name));
}

async function start() {
  lib = await create_brenvik();
  const version = lib.UTF8ToString(lib._brenvik_version());
  document.querySelectorAll(".version").forEach((e) => (e.textContent = version));
  for (let v = 0; v < versions.length; v++) {
    const r = call("keywords", v);
    keyword_lists[v] = text_of(r.data).split("\r\n")[2].split("\t").filter((w) => w !== "");
  }
  document.querySelectorAll(".version-choice").forEach((select) => {
    select.append(new Option("detect / the version's own", ""));
    versions.forEach((name, v) => select.append(new Option(name, String(v))));
  });
  versions.forEach((name, v) => $("keywords-version").append(new Option(name, String(v))));
  show_keywords();

  $("file").addEventListener("change", (e) => e.target.files[0] && read_file(e.target.files[0], open_file));
  const drop = $("drop");
  ["dragenter", "dragover"].forEach((t) => document.addEventListener(t, (e) => {
    e.preventDefault();
    drop.classList.add("over");
  }));
  ["dragleave", "drop"].forEach((t) => document.addEventListener(t, () => drop.classList.remove("over")));
  document.addEventListener("drop", (e) => {
    e.preventDefault();
    const file = e.dataTransfer.files[0];
    if (file) read_file(file, open_file);
  });
  // Options changed: the file open is read again with them.
  ["read-as", "version-select", "address"].forEach((id) => $(id).addEventListener("change", () => {
    if (state.image) open_file(state.image, state.image_name);
  }));
  $("zip-all").addEventListener("click", zip_all);
  $("listing-download").addEventListener("click", () => download(state.listing, state.listing_name, "text/plain"));
  $("tokenize").addEventListener("click", () => tokenize(state.tokenized_name ? stem(state.tokenized_name) : "listing"));
  $("tokenize-download").addEventListener("click", () => download(state.tokenized, state.tokenized_name));
  $("store-disk-file").addEventListener("change", (e) => e.target.files[0] && read_file(e.target.files[0], set_store_disk));
  $("store-listing-file").addEventListener("change", (e) => e.target.files[0] && read_file(e.target.files[0], (bytes, name) => {
    $("source").value = text_of(bytes);
    $("entry-name").value = stem(name).toUpperCase().slice(0, 6);
  }));
  $("store").addEventListener("click", store);
  $("store-download").addEventListener("click", () => download(state.new_disk, state.new_disk_name));
  $("keywords-version").addEventListener("change", show_keywords);
  document.body.dataset.ready = "1";
}

start();

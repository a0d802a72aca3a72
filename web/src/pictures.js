// The pictures of the files in sight. Each converter draws a file's picture
// while it converts it (a PNG file, core.js pictureSize pixels a side) and
// stores it in a pack beside the outputs (worker.js), so that the page
// holds no picture of a file out of sight: an <img> of a row or a cell in
// sight is given an object URL of its picture when it comes into the page,
// and the URL is revoked when it leaves. A picture is read from its pack
// once the pack is sealed (packs.js); until then, the converters' replies'
// bytes of the latest pictures stand in, and an <img> whose picture can be
// read neither way waits for the run's end (retry).
import { readable } from './packs.js';
import { storedFile } from './store.js';

const freshBound = 500;  // pictures kept from the converters' replies: some 3 MB
// item -> its picture's bytes as its converter gave them, the latest
// freshBound. Bytes, not a Blob: a Blob is made only for an <img> in sight,
// for making one costs the page a call into the browser (1.6 ms each in a
// profile of a run of 300 files).
const fresh = new Map();
const urls = new Map();  // <img> -> the object URL it shows
const tickets = new WeakMap();  // <img> -> its latest request: an answer to an older one is dropped
const waiting = new Map();  // <img> -> the item whose picture it waits for
const packFiles = new Map();  // a sealed pack's path -> its File, for its pictures to share

// Keeps the bytes of item's picture as its converter gave them, among the
// latest freshBound.
export function keepFresh(item, bytes) {
  fresh.delete(item);
  fresh.set(item, bytes);
  if (fresh.size > freshBound) fresh.delete(fresh.keys().next().value);
}

// The Blob of item's picture, null when it has none, or undefined when its
// pack is still being written.
async function pictureBlob(item) {
  const picture = item.result?.picture;
  if (!picture) return null;
  if (fresh.has(item)) return new Blob([fresh.get(item)], { type: 'image/png' });
  if (picture.blob) return picture.blob;
  if (!readable(picture)) return undefined;
  return (await storedFile(picture, packFiles)).slice(0, picture.stored, 'image/png');
}

// The <img> no longer shows a picture: its URL is revoked.
export function releasePicture(img) {
  const url = urls.get(img);
  if (url) URL.revokeObjectURL(url);
  urls.delete(img);
  waiting.delete(img);
  tickets.delete(img);
  img.removeAttribute('src');
}

// Shows item's picture in img, an <img> in the page (or about to be put
// there), as soon as it can be read; an <img> that has left the page by
// then is given none.
export async function showPicture(img, item) {
  releasePicture(img);
  img.classList.toggle('none', !item.result?.picture);
  const ticket = {};
  tickets.set(img, ticket);
  const blob = await pictureBlob(item).catch(() => null);
  if (tickets.get(img) !== ticket || !img.isConnected) return;
  if (blob === undefined) waiting.set(img, item);
  else if (blob) urls.set(img, (img.src = URL.createObjectURL(blob)));
}

// Shows the pictures that waited for their packs, now sealed.
export function retryPictures() {
  for (const [img, item] of [...waiting]) {
    if (img.isConnected) showPicture(img, item);
    else releasePicture(img);
  }
}

// Forgets the pictures of the files cleared.
export function forgetPictures() {
  fresh.clear();
  packFiles.clear();
}

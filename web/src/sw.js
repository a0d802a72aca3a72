// Keeps the page working offline: its files are stored when the worker is
// installed and again as they arrive, and served from the store when the
// network cannot give them. The network comes first, so a new build shows
// at once.
const store = 'quarlen-web';
const files = ['./', 'index.html', 'style.css', 'main.js', 'worker.js', 'view-worker.js', 'quarlen-core.js', 'quarlen-core.wasm',
  'quarlen-core-simd.wasm', 'manifest.webmanifest', 'icon-192.png', 'icon-512.png'];

self.addEventListener('install', (e) => {
  self.skipWaiting();
  e.waitUntil(caches.open(store).then((c) => c.addAll(files)));
});
self.addEventListener('activate', (e) => e.waitUntil(self.clients.claim()));
self.addEventListener('fetch', (e) => {
  const url = new URL(e.request.url);
  if (e.request.method !== 'GET' || url.origin !== self.location.origin) return;
  e.respondWith(fetch(e.request).then((response) => {
    if (response.ok) {
      const copy = response.clone();
      e.waitUntil(caches.open(store).then((c) => c.put(e.request, copy)));
    }
    return response;
  }).catch(() => caches.match(e.request).then((hit) => hit || Response.error())));
});

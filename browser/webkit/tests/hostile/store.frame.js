// The page stores what it can: 1 MB records of random bytes in IndexedDB,
// up to 32 of them, and 4 MB in localStorage; it writes down how many
// megabytes of records were taken in its body's data-stored.
function chunk() {
  var bytes = new Uint8Array(1 << 20);
  for (var at = 0; at < bytes.length; at += 65536) crypto.getRandomValues(bytes.subarray(at, at + 65536));
  return bytes;
}
try { localStorage.setItem('brevane', new Array(4 << 20).join('y')); } catch (e) { }
var stored = 0;
function finish() { document.body.setAttribute('data-stored', String(stored)); done(); }
var open = indexedDB.open('brevane', 1);
open.onupgradeneeded = function () { open.result.createObjectStore('s'); };
open.onerror = finish;
open.onsuccess = function () {
  var db = open.result;
  (function next() {
    if (stored == 32) return finish();
    var t = db.transaction('s', 'readwrite');
    t.objectStore('s').put(chunk(), stored);
    t.oncomplete = function () { ++stored; next(); };
    t.onerror = t.onabort = function (e) { if (e) e.preventDefault(); finish(); };
  })();
};

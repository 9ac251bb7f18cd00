// Replaces every getter and DOM method the program might touch with one
// that notes its use: as own properties of every element and on the
// prototypes; and lies about the window's length.
Array.prototype.forEach.call(document.getElementsByTagName('*'), function (el) {
  ['outerHTML', 'innerText', 'getAttribute'].forEach(function (n) {
    Object.defineProperty(el, n, { get: function () { note('own ' + n); return 'forged'; } });
  });
});
['outerHTML','innerHTML','innerText','textContent','value','checked','type','name','id','title','href','src',
 'className','contentWindow','contentDocument','readyState','body','all','length','elements','documentElement',
 'defaultView','frames','tagName','localName','attributes','nodeType','namespaceURI','baseURI','selected']
.forEach(function (n) {
  [Node.prototype, Element.prototype, HTMLElement.prototype, Document.prototype, HTMLInputElement.prototype,
   HTMLIFrameElement.prototype, HTMLCollection.prototype, HTMLFormElement.prototype, HTMLAnchorElement.prototype,
   HTMLOptionElement.prototype].forEach(function (p) {
    var d = Object.getOwnPropertyDescriptor(p, n);
    if (d && d.get) Object.defineProperty(p, n, { configurable: true, set: d.set,
      get: function () { note('getter ' + n); return d.get.call(this); } });
  });
});
['getAttribute','setAttribute','getElementsByTagName','getElementById','getElementsByName',
 'getElementsByClassName','item','namedItem','click','focus','removeAttribute','contains'].forEach(function (n) {
  [Element.prototype, HTMLElement.prototype, Document.prototype, HTMLCollection.prototype].forEach(function (p) {
    if (Object.prototype.hasOwnProperty.call(p, n)) {
      var f = p[n];
      p[n] = function () { note('method ' + n); return f.apply(this, arguments); };
    }
  });
});
Object.defineProperty(window, 'length', { get: function () { note('window length'); return 2147483647; } });
JSON.parse = function () { note('JSON.parse'); return {}; };
done();

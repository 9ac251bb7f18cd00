// Document bridge, run in Brevane's own script world of the main frame. It
// keeps a table of the DOM objects handed out to the program (documents,
// elements, collections, windows) under numeric handles and answers the
// member calls of the program's late-bound document model, with the
// Internet Explorer member names and markup.
//
// The pages never see it. Their scripts run in the page's own world, where
// none of this exists: they cannot call the bridge, read its table or
// replace its functions, and the functions and getters they define on their
// own elements and on the DOM's prototypes are not seen here, so no read of
// the program ever runs page code. What markup alone can do in every world
// is shadow a member: a form's controls and a document's named frames,
// forms and images are properties of the form and the document by their
// names (<input name=nextSibling>, <iframe name=body>). So the bridge reads
// nodes only through the DOM's own accessors, taken from the prototypes
// once as it starts (or from the node's prototypes, never the node itself),
// and tells a node or a window by those accessors, never by what a node
// says of itself. Requests come only from the program
// (webkit_web_view_call_async_javascript_function into this world). Frames
// of every origin are read directly: the program's web process module
// defines __brevaneReach in this world alone, which gives a frame window's
// document, as the Internet Explorer control's browser service gives its
// host every frame's document. Nothing travels between frames.
//
// The bridge answers only the members the program's document model uses;
// any other name fails with "unknown name", so no request can make the
// bridge call an arbitrary method (a timer, a fetch, an evaluation).
//
// Every request is one JSON text:
//   {g: generation, op: "invoke"|"top"|"frame"|"ping", id, name, kind,
//    args: [[tag, value...]...], rel: [[generation, id]...], nav: 0|1}
// and every answer an array [code, type, value, generation], type being
// "e" (empty), "i", "r", "s", "b" or "o" (a handle).
Object.defineProperty(globalThis, '__brevaneBridge', { writable: false, configurable: false, enumerable: false,
  value: (function () {
  'use strict';

  const kOk = 0;
  const kUnknownName = -2147352570;    // 0x80020006
  const kMemberNotFound = -2147352573; // 0x80020003
  const kBadParamCount = -2147352562;  // 0x8002000E
  const kException = -2147352567;      // 0x80020009
  const kNoObject = -2147467261;       // 0x80004003
  const kFail = -2147467259;           // 0x80004005

  const kGet = 0, kMethod = 1, kPut = 2, kPutRef = 3;

  // The longest text an answer carries, in UTF-16 code units; a longer one
  // (a hostile page's megabytes of markup) fails instead of crossing into the
  // program's process, and markup the bridge builds stops as it passes this
  // length. Forum pages stay far below it.
  const kMaxTextLength = 4 * 1024 * 1024;

  // ---- the DOM's own accessors -------------------------------------------

  // The property of that name on a prototype or one it inherits from.
  function inherited(proto, name) {
    for (let p = proto; p !== null; p = Object.getPrototypeOf(p)) {
      const d = Object.getOwnPropertyDescriptor(p, name);
      if (d) return d;
    }
    return undefined;
  }
  const apply = Reflect.apply;
  const getter = (proto, name) => { const get = inherited(proto, name).get; return (o) => apply(get, o, []); };
  const setter = (proto, name) => { const set = inherited(proto, name).set; return (o, v) => { apply(set, o, [v]); }; };
  const methodOf = (proto, name) => { const f = inherited(proto, name).value; return (o, ...args) => apply(f, o, args); };

  const dom = Object.freeze({
    nodeType: getter(Node.prototype, 'nodeType'),
    firstChild: getter(Node.prototype, 'firstChild'),
    nextSibling: getter(Node.prototype, 'nextSibling'),
    ownerDocument: getter(Node.prototype, 'ownerDocument'),
    baseURI: getter(Node.prototype, 'baseURI'),
    textContent: getter(Node.prototype, 'textContent'),
    setTextContent: setter(Node.prototype, 'textContent'),
    data: getter(CharacterData.prototype, 'data'),
    target: getter(ProcessingInstruction.prototype, 'target'),
    localName: getter(Element.prototype, 'localName'),
    namespaceURI: getter(Element.prototype, 'namespaceURI'),
    tagName: getter(Element.prototype, 'tagName'),
    attributes: getter(Element.prototype, 'attributes'),
    getAttribute: methodOf(Element.prototype, 'getAttribute'),
    setAttribute: methodOf(Element.prototype, 'setAttribute'),
    removeAttribute: methodOf(Element.prototype, 'removeAttribute'),
    elementTags: methodOf(Element.prototype, 'getElementsByTagName'),
    setInnerHTML: setter(Element.prototype, 'innerHTML'),
    setOuterHTML: setter(Element.prototype, 'outerHTML'),
    attributeCount: getter(NamedNodeMap.prototype, 'length'),
    attributeAt: methodOf(NamedNodeMap.prototype, 'item'),
    attributeName: getter(Attr.prototype, 'name'),
    attributeValue: getter(Attr.prototype, 'value'),
    body: getter(Document.prototype, 'body'),
    documentElement: getter(Document.prototype, 'documentElement'),
    title: getter(Document.prototype, 'title'),
    setTitle: setter(Document.prototype, 'title'),
    readyState: getter(Document.prototype, 'readyState'),
    url: getter(Document.prototype, 'URL'),
    defaultView: getter(Document.prototype, 'defaultView'),
    byId: methodOf(Document.prototype, 'getElementById'),
    byName: methodOf(Document.prototype, 'getElementsByName'),
    byClass: methodOf(Document.prototype, 'getElementsByClassName'),
    documentTags: methodOf(Document.prototype, 'getElementsByTagName'),
    formElements: getter(HTMLFormElement.prototype, 'elements'),
    templateContent: getter(HTMLTemplateElement.prototype, 'content'),
  });

  // A member of an element's own kind (value, checked, click, ...), found on
  // the element's prototypes, past whatever the element's names shadow.
  const memberOf = (o, name) => inherited(Object.getPrototypeOf(o), name);
  const hasMember = (o, name) => memberOf(o, name) !== undefined;
  function getMember(o, name) {
    const d = memberOf(o, name);
    if (d === undefined) return undefined;
    return d.get ? apply(d.get, o, []) : d.value;
  }
  function putMember(o, name, v) {
    const d = memberOf(o, name);
    if (d === undefined || !d.set) throw new TypeError('read-only');
    apply(d.set, o, [v]);
  }
  function callMember(o, name) {
    const f = getMember(o, name);
    if (typeof f !== 'function') throw new TypeError('not a method');
    return apply(f, o, []);
  }

  const generation = Date.now().toString(36) + '.' + Math.random().toString(36).slice(2);
  const table = new Map();
  let nextId = 1;

  // The module's reach into frames of every origin, when it is there.
  const reachFrame = (w) => {
    const reach = globalThis.__brevaneReach;
    if (typeof reach !== 'function') return null;
    try { return reach(w); } catch (e) { return null; }
  };

  // A page on its way out still shows its old document, complete, until the
  // next one arrives; its documents read as loading meanwhile. The program
  // tells when the web view has a navigation pending; the page itself tells
  // first, as a form is sent or the page starts to unload, which covers the
  // moment before the web view knows.
  let navigationPending = false;
  let unloadingSince = -Infinity;
  const kUnloadGraceMs = 2000;
  const markUnloading = () => { unloadingSince = Date.now(); };
  window.addEventListener('submit', markUnloading, true);
  window.addEventListener('beforeunload', markUnloading, true);
  const leaving = () => navigationPending || Date.now() - unloadingSince < kUnloadGraceMs;

  // ---- values ---------------------------------------------------------

  class Fail {
    constructor(code) { this.code = code; }
  }
  const fail = (code) => { throw new Fail(code); };

  // The "all" collection of a node: every element below it, in start-tag
  // order, with IE's tags(name) filter.
  class AllCollection {
    constructor(root) { this.root = root; this.live = tagsBelow(root, '*'); }
  }
  // A fixed list of elements (tags() of a collection that is not an "all").
  class ElementList {
    constructor(items) { this.items = items; }
  }

  function store(o) {
    const id = nextId++;
    table.set(id, o);
    return id;
  }

  function answer(value) {
    switch (typeof value) {
      case 'undefined': return [kOk, 'e', null, generation];
      case 'boolean': return [kOk, 'b', value, generation];
      case 'number':
        if (Number.isInteger(value) && value >= -2147483648 && value <= 2147483647)
          return [kOk, 'i', value, generation];
        return [kOk, 'r', value, generation];
      case 'string':
        if (value.length > kMaxTextLength) fail(kFail);
        return [kOk, 's', value, generation];
      default:
        if (value === null) return [kOk, 'e', null, generation];
        if (typeof value !== 'object') fail(kFail);
        return [kOk, 'o', store(value), generation];
    }
  }

  function argument(a) {
    switch (a[0]) {
      case 's': return String(a[1]);
      case 'i': case 'r': return Number(a[1]);
      case 'b': return !!a[1];
      case 'o':
        if (a[1] !== generation || !table.has(a[2])) fail(kNoObject);
        return table.get(a[2]);
      default: return null;
    }
  }

  // The DOM's own nodeType getter answers for a node of any frame and
  // throws for anything else (a window of any origin, a plain object).
  const nodeTypeOf = (o) => {
    if (o === null || typeof o !== 'object') return undefined;
    try { return dom.nodeType(o); } catch (e) { return undefined; }
  };
  const isNode = (o, type) => nodeTypeOf(o) === type;
  // Not a node, and its own unforgeable window member is itself: no markup
  // names a window's own members.
  const isWindow = (o) => {
    if (o === null || typeof o !== 'object' || nodeTypeOf(o) !== undefined) return false;
    try { return o.window === o; } catch (e) { return false; }
  };
  const isHtml = (el) => dom.namespaceURI(el) === 'http://www.w3.org/1999/xhtml';
  const tagsBelow = (root, tag) => isNode(root, 9) ? dom.documentTags(root, tag) : dom.elementTags(root, tag);
  const text = (v) => (v === undefined || v === null) ? '' : String(v);

  // ---- Internet Explorer style markup ---------------------------------

  const kVoid = new Set(['area', 'base', 'basefont', 'bgsound', 'br', 'col', 'embed', 'frame', 'hr',
    'img', 'input', 'isindex', 'keygen', 'link', 'meta', 'param', 'source', 'track', 'wbr']);
  const kBoolean = new Set(['checked', 'selected', 'disabled', 'readonly', 'multiple', 'noshade',
    'nowrap', 'compact', 'ismap', 'declare', 'defer', 'noresize', 'nohref', 'autofocus', 'required',
    'hidden', 'async', 'autoplay', 'controls', 'loop', 'muted', 'novalidate', 'formnovalidate',
    'open', 'reversed', 'default', 'itemscope', 'inert', 'playsinline', 'allowfullscreen']);
  const kRawText = new Set(['script', 'style', 'xmp', 'iframe', 'noembed', 'noframes', 'plaintext',
    'noscript']);
  const kBareValue = /^[A-Za-z0-9_.\-]+$/;

  const escapeText = (s) => s.replace(/&/g, '&amp;').replace(/</g, '&lt;').replace(/>/g, '&gt;')
    .replace(/\u00a0/g, '&nbsp;');

  // Attribute values stay bare when they are plain words; anything else is
  // double-quoted, with "&" and the quote escaped, as the C++ writer of the
  // same form writes them.
  const attributeValue = (v) => kBareValue.test(v) ? v
    : '"' + v.replace(/&/g, '&amp;').replace(/"/g, '&quot;') + '"';

  // Form controls show their current state, as that engine shows it.
  function liveState(el) {
    if (!isHtml(el)) return null;
    const tag = dom.localName(el);
    if (tag === 'input') {
      const type = String(getMember(el, 'type') || '').toLowerCase();
      const state = {};
      if (type === 'checkbox' || type === 'radio') state.checked = getMember(el, 'checked');
      else if (type !== 'file' && type !== 'password') state.value = getMember(el, 'value');
      return state;
    }
    if (tag === 'option') return { selected: getMember(el, 'selected') };
    return null;
  }

  // href and src are written as the absolute addresses they stand for, as
  // that engine writes them.
  function absolute(el, value) {
    try { return new URL(value, dom.baseURI(el)).href; } catch (e) { return value; }
  }

  // The attributes in the order that engine writes them: as the page wrote
  // them, except that the address comes before the target.
  // Each attribute as {name, value}.
  function attributesOf(el) {
    const map = dom.attributes(el);
    const list = [];
    for (let i = 0, n = dom.attributeCount(map); i < n; ++i) {
      const a = dom.attributeAt(map, i);
      list.push({ name: dom.attributeName(a), value: dom.attributeValue(a) });
    }
    return list;
  }

  function orderedAttributes(el) {
    const list = attributesOf(el);
    const at = (name) => list.findIndex((a) => a.name.toLowerCase() === name);
    const href = at('href');
    const target = at('target');
    if (href > target && target >= 0) list.splice(target, 0, list.splice(href, 1)[0]);
    return list;
  }

  function startTag(el) {
    const name = isHtml(el) ? dom.localName(el).toUpperCase() : dom.localName(el);
    const state = liveState(el);
    let out = '<' + name;
    const seen = new Set();
    const attributes = isHtml(el) ? orderedAttributes(el) : attributesOf(el);
    for (let i = 0; i < attributes.length; ++i) {
      const attr = attributes[i];
      const lname = attr.name.toLowerCase();
      seen.add(lname);
      if (state && Object.prototype.hasOwnProperty.call(state, lname)) {
        const live = state[lname];
        if (typeof live === 'boolean') {
          if (live) out += ' ' + lname.toUpperCase();
          continue;
        }
        if (live === '' && attr.value === '') { out += ' ' + attr.name + '=""'; continue; }
        out += ' ' + attr.name + '=' + attributeValue(String(live));
        continue;
      }
      if (isHtml(el) && kBoolean.has(lname)) out += ' ' + lname.toUpperCase();
      else if (isHtml(el) && (lname === 'href' || lname === 'src')) out += ' ' + attr.name + '=' + attributeValue(absolute(el, attr.value));
      else out += ' ' + attr.name + '=' + attributeValue(attr.value);
    }
    if (state) {
      for (const key of Object.keys(state)) {
        if (seen.has(key)) continue;
        const live = state[key];
        if (live === true) out += ' ' + key.toUpperCase();
        else if (typeof live === 'string' && live !== '') out += ' ' + key + '=' + attributeValue(live);
      }
    }
    return out + '>';
  }

  // Markup as it is built, failing as soon as it passes the longest answer:
  // no page makes the bridge build more than that.
  class Markup {
    constructor() { this.text = ''; }
    add(part) {
      if (this.text.length + part.length > kMaxTextLength) fail(kFail);
      this.text += part;
    }
  }

  function serialiseChildren(node, raw, out) {
    const start = (isHtml(node) && dom.localName(node) === 'template') ? dom.templateContent(node) : node;
    for (let child = dom.firstChild(start); child; child = dom.nextSibling(child)) serialise(child, raw, out);
  }

  function serialise(node, raw, out) {
    switch (dom.nodeType(node)) {
      case 1: {
        const el = node;
        const html = isHtml(el);
        const tag = dom.localName(el);
        out.add(startTag(el));
        if (html && kVoid.has(tag)) return;
        if (html && tag === 'textarea') out.add(escapeText(text(getMember(el, 'value'))));
        else serialiseChildren(el, html && kRawText.has(tag), out);
        out.add('</' + (html ? tag.toUpperCase() : tag) + '>');
        return;
      }
      case 3: out.add(raw ? dom.data(node) : escapeText(dom.data(node))); return;
      case 4: out.add('<![CDATA[' + dom.data(node) + ']]>'); return;
      case 8: out.add('<!--' + dom.data(node) + '-->'); return;
      case 7: out.add('<?' + dom.target(node) + ' ' + dom.data(node) + '>'); return;
      case 9: case 11: serialiseChildren(node, false, out); return;
      default: return;
    }
  }

  const outerMarkup = (el) => { const out = new Markup(); serialise(el, false, out); return out.text; };
  const innerMarkup = (el) => {
    const out = new Markup();
    serialiseChildren(el, isHtml(el) && kRawText.has(dom.localName(el)), out);
    return out.text;
  };

  // ---- members ----------------------------------------------------------

  // A member answers one way of calling it: get(o), put(o, value),
  // call(o, args). A missing way fails with "member not found".
  const prop = (get, put) => ({ get, put });
  const method = (call, min) => ({ call, min: min || 0 });
  // A table of members by lower-case name, with no prototype, so that no
  // name ("constructor", "__proto__", "toString") finds anything but an
  // entry of the table.
  const members = (entries) => Object.freeze(Object.assign(Object.create(null), entries));

  function ieAttributeName(name) {
    const l = String(name).toLowerCase();
    if (l === 'classname' || l === 'class') return 'class';
    if (l === 'htmlfor') return 'for';
    return name;
  }

  // A property IE exposes on every element: the DOM property where the
  // element has one, otherwise the attribute of that name, otherwise empty.
  const reflected = (name) => prop(
    (el) => {
      if (hasMember(el, name)) {
        const v = getMember(el, name);
        if (typeof v !== 'object') return text(v);
      }
      return text(dom.getAttribute(el, name));
    },
    (el, v) => { if (hasMember(el, name)) putMember(el, name, text(v)); else dom.setAttribute(el, name, text(v)); });

  function firstNamed(list, name) {
    for (const el of list) if (isNode(el, 1) && dom.getAttribute(el, 'id') === name) return el;
    for (const el of list) if (isNode(el, 1) && dom.getAttribute(el, 'name') === name) return el;
    return null;
  }

  // list: anything indexable and iterable (a live collection, an array).
  function itemOf(list, args) {
    const key = args[0];
    if (typeof key === 'number') return list[Math.trunc(key)] || null;
    if (key === null || key === undefined) fail(kBadParamCount);
    return firstNamed(list, String(key));
  }

  function elementsOf(o) {
    if (o instanceof AllCollection) return o.live;
    if (o instanceof ElementList) return o.items;
    return o;
  }

  function tagsOf(o, name) {
    const tag = String(name);
    if (o instanceof AllCollection) return new ElementList(Array.from(tagsBelow(o.root, tag)));
    const want = tag.toLowerCase();
    return new ElementList(Array.from(elementsOf(o))
      .filter((el) => isNode(el, 1) && dom.localName(el).toLowerCase() === want));
  }

  const collectionMembers = members({
    length: prop((o) => elementsOf(o).length),
    item: method((o, args) => itemOf(elementsOf(o), args), 1),
    nameditem: method((o, args) => firstNamed(elementsOf(o), String(args[0])), 1),
    tags: method((o, args) => tagsOf(o, args[0]), 1),
  });

  // The document of a frame's window, of any origin: directly where the
  // origin lets this world in, otherwise through the module's reach.
  function frameDocument(w) {
    if (!isWindow(w)) return null;
    try {
      const d = w.document;
      if (isNode(d, 9)) return d;
    } catch (e) { }
    const reached = reachFrame(w);
    return isNode(reached, 9) ? reached : null;
  }

  // A window's own document member keeps the page's origin rule, as the
  // control's does; only the frame request (the browser service) reaches
  // frames of other origins.
  const windowMembers = members({
    document: prop((w) => w.document),
    frames: prop((w) => w.frames),
    length: prop((w) => w.length),
    item: method((w, args) => {
      const key = args[0];
      if (typeof key === 'number') return w[Math.trunc(key)] || null;
      return w[String(key)] || null;
    }, 1),
  });

  const documentMembers = members({
    all: prop((d) => new AllCollection(d)),
    body: prop((d) => dom.body(d)),
    documentelement: prop((d) => dom.documentElement(d)),
    title: prop((d) => dom.title(d), (d, v) => { dom.setTitle(d, text(v)); }),
    readystate: prop((d) => leaving() ? 'loading' : dom.readyState(d)),
    frames: prop((d) => dom.defaultView(d)),
    parentwindow: prop((d) => dom.defaultView(d)),
    url: prop((d) => dom.url(d)),
    getelementbyid: method((d, args) => dom.byId(d, text(args[0])), 1),
    getelementsbyname: method((d, args) => dom.byName(d, text(args[0])), 1),
    getelementsbyclassname: method((d, args) => dom.byClass(d, text(args[0])), 1),
    getelementsbytagname: method((d, args) => dom.documentTags(d, text(args[0])), 1),
  });

  const elementMembers = members({
    all: prop((el) => new AllCollection(el)),
    document: prop((el) => dom.ownerDocument(el)),
    id: prop((el) => text(dom.getAttribute(el, 'id')), (el, v) => { dom.setAttribute(el, 'id', text(v)); }),
    classname: prop((el) => text(dom.getAttribute(el, 'class')), (el, v) => { dom.setAttribute(el, 'class', text(v)); }),
    name: reflected('name'),
    href: reflected('href'),
    src: reflected('src'),
    alt: reflected('alt'),
    title: reflected('title'),
    value: reflected('value'),
    type: reflected('type'),
    checked: prop((el) => hasMember(el, 'checked') ? !!getMember(el, 'checked') : fail(kMemberNotFound),
      (el, v) => { if (hasMember(el, 'checked')) putMember(el, 'checked', !!v); else fail(kMemberNotFound); }),
    selectedindex: prop((el) => hasMember(el, 'selectedIndex') ? getMember(el, 'selectedIndex') : fail(kMemberNotFound),
      (el, v) => {
        if (hasMember(el, 'selectedIndex')) putMember(el, 'selectedIndex', Math.trunc(Number(v)) || 0);
        else fail(kMemberNotFound);
      }),
    innertext: prop((el) => text(hasMember(el, 'innerText') ? getMember(el, 'innerText') : dom.textContent(el)),
      (el, v) => { if (hasMember(el, 'innerText')) putMember(el, 'innerText', text(v)); else dom.setTextContent(el, text(v)); }),
    innerhtml: prop((el) => innerMarkup(el), (el, v) => { dom.setInnerHTML(el, text(v)); }),
    outerhtml: prop((el) => outerMarkup(el), (el, v) => { dom.setOuterHTML(el, text(v)); }),
    tagname: prop((el) => isHtml(el) ? dom.localName(el).toUpperCase() : dom.tagName(el)),
    contenteditable: prop((el) => text(getMember(el, 'contentEditable')),
      (el, v) => { putMember(el, 'contentEditable', text(v)); }),
    contentwindow: prop((el) => hasMember(el, 'contentWindow') ? getMember(el, 'contentWindow') : fail(kUnknownName)),
    getelementsbytagname: method((el, args) => dom.elementTags(el, text(args[0])), 1),
    getattribute: method((el, args) => {
      const name = String(args[0]);
      switch (name.toLowerCase()) {
        case 'innerhtml': return innerMarkup(el);
        case 'outerhtml': return outerMarkup(el);
        case 'innertext': return text(getMember(el, 'innerText'));
      }
      return dom.getAttribute(el, ieAttributeName(name));
    }, 1),
    setattribute: method((el, args) => {
      const name = String(args[0]);
      const value = text(args[1]);
      switch (name.toLowerCase()) {
        case 'innerhtml': dom.setInnerHTML(el, value); return;
        case 'outerhtml': dom.setOuterHTML(el, value); return;
        case 'innertext': putMember(el, 'innerText', value); return;
        case 'value': dom.setAttribute(el, 'value', value); if (hasMember(el, 'value')) putMember(el, 'value', value); return;
      }
      dom.setAttribute(el, ieAttributeName(name), value);
    }, 2),
    removeattribute: method((el, args) => { dom.removeAttribute(el, ieAttributeName(String(args[0]))); }, 1),
    // The click runs as the program's call returns, through the module:
    // outside the call, which WebKit runs as a user gesture, so the page's
    // handlers get no user activation from it. Without the module it runs
    // here.
    click: method((el) => {
      if (typeof getMember(el, 'click') !== 'function') throw new TypeError('not a method');
      const later = globalThis.__brevaneClickLater;
      if (typeof later !== 'function' || !later(() => { callMember(el, 'click'); })) callMember(el, 'click');
    }),
    focus: method((el) => { if (typeof getMember(el, 'focus') === 'function') callMember(el, 'focus'); }),
  });

  // Forms answer length and item over their controls.
  const formMembers = members({
    length: prop((f) => dom.formElements(f).length),
    item: method((f, args) => itemOf(dom.formElements(f), args), 1),
    elements: prop((f) => dom.formElements(f)),
  });

  // By their class name, which holds for collections of every frame's
  // realm (instanceof would hold only for this frame's).
  const kCollections = new Set(['HTMLCollection', 'NodeList', 'HTMLFormControlsCollection', 'RadioNodeList',
    'HTMLOptionsCollection', 'HTMLAllCollection']);
  const isCollection = (o) => {
    try { return kCollections.has(Object.prototype.toString.call(o).slice(8, -1)); } catch (e) { return false; }
  };

  function membersOf(o) {
    if (o instanceof AllCollection || o instanceof ElementList || isCollection(o)) return [collectionMembers];
    if (isWindow(o)) return [windowMembers];
    if (isNode(o, 9)) return [documentMembers];
    if (isNode(o, 1)) {
      if (isHtml(o) && dom.localName(o) === 'form') return [formMembers, elementMembers];
      return [elementMembers];
    }
    return [];
  }

  function invoke(o, name, kind, args) {
    const lname = String(name).toLowerCase();
    for (const table of membersOf(o)) {
      const m = table[lname];
      if (m === undefined) continue;
      if (kind === kGet || (kind === kMethod && m.get)) {
        if (!m.get) fail(kMemberNotFound);
        if (kind === kMethod && args.length) fail(kBadParamCount);
        return m.get(o);
      }
      if (kind === kMethod) {
        if (args.length < m.min) fail(kBadParamCount);
        return m.call(o, args);
      }
      if (kind === kPut) {
        if (!m.put) fail(kMemberNotFound);
        if (args.length < 1) fail(kBadParamCount);
        m.put(o, args[args.length - 1]);
        return undefined;
      }
      fail(kMemberNotFound);
    }
    fail(kUnknownName);
  }

  // ---- requests -------------------------------------------------------

  function target(request) {
    if (request.g !== generation || !table.has(request.id)) fail(kNoObject);
    return table.get(request.id);
  }

  function handle(request) {
    navigationPending = request.nav === 1;
    if (Array.isArray(request.rel)) {
      for (const r of request.rel) if (Array.isArray(r) && r[0] === generation) table.delete(r[1]);
    }
    switch (request.op) {
      case 'ping': return answer(table.size);
      case 'top': return answer(document);
      case 'frame': return answer(frameDocument(target(request)));
      case 'invoke': {
        const o = target(request);
        const args = Array.isArray(request.args) ? request.args.map(argument) : [];
        return answer(invoke(o, request.name, request.kind, args));
      }
    }
    return [kUnknownName, 'e', null, generation];
  }

  function failure(e) {
    if (e instanceof Fail) return [e.code, 'e', null, generation];
    return [kException, 'e', null, generation];
  }

  return function (json) {
    try {
      const request = JSON.parse(String(json));
      return handle(request !== null && typeof request === 'object' ? request : {});
    } catch (e) {
      return failure(e);
    }
  };
})() });

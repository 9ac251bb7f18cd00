// Document bridge, run in Brevane's own script world of every frame of the
// page. The main frame's bridge keeps a table of the DOM objects handed out
// to the program (documents, elements, collections, windows) under numeric
// handles and answers member calls made with the Internet Explorer member
// names. A frame of another origin is out of the script world's reach; its
// own bridge answers for it over a private message channel (see "frames of
// other origins" below), and its objects stand in the table as proxies.
//
// Every request is one JSON text:
//   {g: generation, op: "invoke"|"top"|"frame"|"ping", id, name, kind,
//    args: [[tag, value...]...], rel: [[generation, id]...], nav: 0|1}
// and every answer an array [code, type, value, generation], type being
// "e" (empty), "i", "r", "s", "b" or "o" (a handle).
globalThis.__brevaneBridge = (function () {
  'use strict';

  const kOk = 0;
  const kUnknownName = -2147352570;    // 0x80020006
  const kMemberNotFound = -2147352573; // 0x80020003
  const kBadParamCount = -2147352562;  // 0x8002000E
  const kException = -2147352567;      // 0x80020009
  const kNoObject = -2147467261;       // 0x80004003
  const kFail = -2147467259;           // 0x80004005

  const kGet = 0, kMethod = 1, kPut = 2, kPutRef = 3;

  const generation = Date.now().toString(36) + '.' + Math.random().toString(36).slice(2);
  const table = new Map();
  let nextId = 1;

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
    constructor(root) { this.root = root; this.live = root.getElementsByTagName('*'); }
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
      case 'bigint': return [kOk, 'r', Number(value), generation];
      case 'string': return [kOk, 's', value, generation];
      case 'symbol': return [kOk, 's', String(value), generation];
      default:
        if (value === null) return [kOk, 'e', null, generation];
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

  const isWindow = (o) => {
    try { return o !== null && typeof o === 'object' && o.window === o; } catch (e) { return false; }
  };
  const isNode = (o, type) => {
    try { return o !== null && typeof o === 'object' && !isWindow(o) && o.nodeType === type; } catch (e) { return false; }
  };
  const isHtml = (el) => el.namespaceURI === 'http://www.w3.org/1999/xhtml';
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
  // double-quoted. Only the quote itself is escaped, so an address read from
  // the markup is the address the page links to.
  const attributeValue = (v) => kBareValue.test(v) ? v : '"' + v.replace(/"/g, '&quot;') + '"';

  // Form controls show their current state, as that engine shows it.
  function liveState(el) {
    if (!isHtml(el)) return null;
    const tag = el.localName;
    if (tag === 'input') {
      const type = String(el.type || '').toLowerCase();
      const state = {};
      if (type === 'checkbox' || type === 'radio') state.checked = el.checked;
      else if (type !== 'file' && type !== 'password') state.value = el.value;
      return state;
    }
    if (tag === 'option') return { selected: el.selected };
    return null;
  }

  // href and src are written as the absolute addresses they stand for, as
  // that engine writes them.
  function absolute(el, value) {
    try { return new URL(value, el.baseURI).href; } catch (e) { return value; }
  }

  // The attributes in the order that engine writes them: as the page wrote
  // them, except that the address comes before the target.
  function orderedAttributes(el) {
    const list = Array.from(el.attributes);
    const at = (name) => list.findIndex((a) => a.name.toLowerCase() === name);
    const href = at('href');
    const target = at('target');
    if (href > target && target >= 0) list.splice(target, 0, list.splice(href, 1)[0]);
    return list;
  }

  function startTag(el) {
    const name = isHtml(el) ? el.localName.toUpperCase() : el.localName;
    const state = liveState(el);
    let out = '<' + name;
    const seen = new Set();
    const attributes = isHtml(el) ? orderedAttributes(el) : Array.from(el.attributes);
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

  function serialiseChildren(node, raw) {
    let out = '';
    const start = (node.localName === 'template' && node.content) ? node.content : node;
    for (let child = start.firstChild; child; child = child.nextSibling) out += serialise(child, raw);
    return out;
  }

  function serialise(node, raw) {
    switch (node.nodeType) {
      case 1: {
        const el = node;
        const html = isHtml(el);
        const tag = el.localName;
        let out = startTag(el);
        if (html && kVoid.has(tag)) return out;
        if (html && tag === 'textarea') out += escapeText(el.value);
        else out += serialiseChildren(el, html && kRawText.has(tag));
        return out + '</' + (html ? tag.toUpperCase() : tag) + '>';
      }
      case 3: return raw ? node.data : escapeText(node.data);
      case 4: return '<![CDATA[' + node.data + ']]>';
      case 8: return '<!--' + node.data + '-->';
      case 7: return '<?' + node.target + ' ' + node.data + '>';
      case 9: case 11: return serialiseChildren(node, false);
      default: return '';
    }
  }

  const innerMarkup = (el) => serialiseChildren(el, isHtml(el) && kRawText.has(el.localName));

  // ---- members --------------------------------------------------------

  // A member answers one way of calling it: get(o), put(o, value),
  // call(o, args). A missing way fails with "member not found".
  const prop = (get, put) => ({ get, put });
  const method = (call, min) => ({ call, min: min || 0 });

  function ieAttributeName(name) {
    const l = String(name).toLowerCase();
    if (l === 'classname' || l === 'class') return 'class';
    if (l === 'htmlfor') return 'for';
    return name;
  }

  // A property IE exposes on every element: the DOM property where the
  // element has one, otherwise the attribute of that name, otherwise empty.
  const reflected = (name) => prop(
    (el) => (name in el && typeof el[name] !== 'object') ? text(el[name]) : text(el.getAttribute(name)),
    (el, v) => { if (name in el) el[name] = text(v); else el.setAttribute(name, text(v)); });

  function firstNamed(list, name) {
    for (const el of list) if (el.id === name) return el;
    for (const el of list) if (el.getAttribute && el.getAttribute('name') === name) return el;
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
    if (o instanceof AllCollection) return new ElementList(Array.from(o.root.getElementsByTagName(tag)));
    const want = tag.toLowerCase();
    return new ElementList(Array.from(elementsOf(o))
      .filter((el) => el.localName && el.localName.toLowerCase() === want));
  }

  const collectionMembers = {
    length: prop((o) => elementsOf(o).length),
    item: method((o, args) => itemOf(elementsOf(o), args), 1),
    nameditem: method((o, args) => firstNamed(elementsOf(o), String(args[0])), 1),
    tags: method((o, args) => tagsOf(o, args[0]), 1),
  };

  const windowMembers = {
    document: prop((w) => w.document),
    frames: prop((w) => w.frames),
    length: prop((w) => w.length),
    item: method((w, args) => {
      const key = args[0];
      if (typeof key === 'number') return w[Math.trunc(key)] || null;
      return w[String(key)] || null;
    }, 1),
  };

  const documentMembers = {
    all: prop((d) => new AllCollection(d)),
    body: prop((d) => d.body),
    title: prop((d) => d.title, (d, v) => { d.title = text(v); }),
    readystate: prop((d) => leaving() ? 'loading' : d.readyState),
    frames: prop((d) => d.defaultView),
    parentwindow: prop((d) => d.defaultView),
    url: prop((d) => d.URL),
    getelementbyid: method((d, args) => d.getElementById(text(args[0])), 1),
    getelementsbyname: method((d, args) => d.getElementsByName(text(args[0])), 1),
    getelementsbyclassname: method((d, args) => d.getElementsByClassName(text(args[0])), 1),
    getelementsbytagname: method((d, args) => d.getElementsByTagName(text(args[0])), 1),
  };

  const elementMembers = {
    all: prop((el) => new AllCollection(el)),
    document: prop((el) => el.ownerDocument),
    id: prop((el) => text(el.getAttribute('id')), (el, v) => { el.setAttribute('id', text(v)); }),
    classname: prop((el) => text(el.getAttribute('class')), (el, v) => { el.setAttribute('class', text(v)); }),
    name: reflected('name'),
    href: reflected('href'),
    src: reflected('src'),
    alt: reflected('alt'),
    title: reflected('title'),
    value: reflected('value'),
    type: reflected('type'),
    innertext: prop((el) => text(el.innerText !== undefined ? el.innerText : el.textContent),
      (el, v) => { if ('innerText' in el) el.innerText = text(v); else el.textContent = text(v); }),
    innerhtml: prop((el) => innerMarkup(el), (el, v) => { el.innerHTML = text(v); }),
    outerhtml: prop((el) => serialise(el, false), (el, v) => { el.outerHTML = text(v); }),
    tagname: prop((el) => isHtml(el) ? el.localName.toUpperCase() : el.tagName),
    contenteditable: prop((el) => text(el.contentEditable), (el, v) => { el.contentEditable = text(v); }),
    contentwindow: prop((el) => ('contentWindow' in el) ? el.contentWindow : fail(kUnknownName)),
    getattribute: method((el, args) => {
      const name = String(args[0]);
      switch (name.toLowerCase()) {
        case 'innerhtml': return innerMarkup(el);
        case 'outerhtml': return serialise(el, false);
        case 'innertext': return text(el.innerText);
      }
      return el.getAttribute(ieAttributeName(name));
    }, 1),
    setattribute: method((el, args) => {
      const name = String(args[0]);
      const value = text(args[1]);
      switch (name.toLowerCase()) {
        case 'innerhtml': el.innerHTML = value; return;
        case 'outerhtml': el.outerHTML = value; return;
        case 'innertext': el.innerText = value; return;
        case 'value': el.setAttribute('value', value); if ('value' in el) el.value = value; return;
      }
      el.setAttribute(ieAttributeName(name), value);
    }, 2),
    removeattribute: method((el, args) => { el.removeAttribute(ieAttributeName(String(args[0]))); }, 1),
    click: method((el) => { el.click(); }),
  };

  // Forms answer length and item over their controls.
  const formMembers = {
    length: prop((f) => f.elements.length),
    item: method((f, args) => itemOf(f.elements, args), 1),
    elements: prop((f) => f.elements),
  };

  function membersOf(o) {
    if (o instanceof AllCollection || o instanceof ElementList) return [collectionMembers];
    if (isWindow(o)) return [windowMembers];
    if (isNode(o, 9)) return [documentMembers];
    if (isNode(o, 1)) {
      if (isHtml(o) && o.localName === 'form') return [formMembers, elementMembers];
      return [elementMembers];
    }
    let collection = false;
    try { collection = typeof o.length === 'number' && typeof o.item === 'function'; } catch (e) { }
    return collection ? [collectionMembers] : [];
  }

  // Any other member of the object, its name matched without regard to case.
  function ownName(o, lname) {
    try {
      for (const key in o) if (key.toLowerCase() === lname) return key;
    } catch (e) { }
    return null;
  }

  function invoke(o, name, kind, args) {
    const lname = String(name).toLowerCase();
    for (const members of membersOf(o)) {
      if (!Object.prototype.hasOwnProperty.call(members, lname)) continue;
      const m = members[lname];
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
    const key = ownName(o, lname);
    if (key === null) fail(kUnknownName);
    const current = o[key];
    switch (kind) {
      case kGet:
        if (typeof current === 'function') fail(kMemberNotFound);
        return current;
      case kMethod:
        if (typeof current === 'function') return current.apply(o, args);
        if (args.length) fail(kBadParamCount);
        return current;
      case kPut:
        if (typeof current === 'function') fail(kMemberNotFound);
        if (args.length < 1) fail(kBadParamCount);
        o[key] = args[args.length - 1];
        return undefined;
      default: {
        const value = args[args.length - 1];
        if (typeof current === 'function' || value === null || typeof value !== 'object') fail(kMemberNotFound);
        o[key] = value;
        return undefined;
      }
    }
  }

  // The document of a frame's window of this origin; empty when the window
  // belongs to another origin or has no document.
  function frameDocument(w) {
    try {
      if (!isWindow(w)) return null;
      const d = w.document;
      return (d && d.nodeType === 9) ? d : null;
    } catch (e) {
      return null;
    }
  }

  // ---- frames of other origins -----------------------------------------
  //
  // Every frame runs this bridge in its own script world. For a frame the
  // script world cannot reach, the bridge asks the frame's own bridge over a
  // message channel: the channel's port goes to the frame window with a key
  // only the bridges know (the program puts it in front of this script), the
  // frame's bridge takes it before any page script sees the message, and
  // from then on requests and answers pass through the channel, which no
  // page can reach. The frame's objects stand in this table as proxies;
  // calls on them are forwarded and their answers come back as promises.
  // The pages keep web security: a page gains nothing, only the program
  // reads the frames. (A frame page that wiped its own listeners with
  // document.open() before the offer arrives would see the key; the offer
  // is only made to frames the program asks for.)

  const channelKey = String(globalThis.__brevaneChannelKey || '');
  const kChannelMark = '__brevaneBridgeChannel';
  // A frame that does not answer its channel in this time counts as
  // unreachable, well inside the program's own time-out for the call.
  const kChannelWaitMs = 800;

  class Channel {
    constructor(port) {
      this.port = port;
      this.pending = new Map();
      this.sequence = 0;
      this.open = true;
      this.releases = [];
      port.onmessage = (m) => {
        const d = m.data;
        const waiting = d && this.pending.get(d.q);
        if (!waiting) return;
        this.pending.delete(d.q);
        clearTimeout(waiting.timer);
        waiting.resolve(d.a);
      };
    }
    request(r) {
      if (!this.open) return Promise.resolve([kNoObject, 'e', null, '']);
      const q = ++this.sequence;
      r.rel = this.releases;
      this.releases = [];
      return new Promise((resolve) => {
        const timer = setTimeout(() => {
          this.pending.delete(q);
          resolve([kFail, 'e', null, '']);
        }, kChannelWaitMs);
        this.pending.set(q, { resolve, timer });
        try { this.port.postMessage({ q: q, r: r }); } catch (e) {
          clearTimeout(timer);
          this.pending.delete(q);
          resolve([kFail, 'e', null, '']);
        }
      });
    }
    close() {
      this.open = false;
      try { this.port.close(); } catch (e) { }
      for (const waiting of this.pending.values()) {
        clearTimeout(waiting.timer);
        waiting.resolve([kNoObject, 'e', null, '']);
      }
      this.pending.clear();
    }
  }

  // An object of another frame's bridge: its channel and its handle there.
  class Remote {
    constructor(channel, g, id) { this.channel = channel; this.g = g; this.id = id; }
  }

  // The channel to each frame window, renewed whenever the frame's document
  // is asked for (the frame may show a new page with a new bridge).
  const channels = new WeakMap();

  // An answer of another bridge as this bridge's answer: objects become
  // proxies in this table.
  function fromRemote(channel, a) {
    if (!Array.isArray(a)) return [kFail, 'e', null, generation];
    if (a[0] !== kOk) return [a[0], 'e', null, generation];
    if (a[1] === 'o') return answer(new Remote(channel, a[3], a[2]));
    return [kOk, a[1], a[2], generation];
  }

  function remoteFrameDocument(w) {
    if (!channelKey || !isWindow(w)) return answer(null);
    const old = channels.get(w);
    if (old) old.close();
    const pipe = new MessageChannel();
    const channel = new Channel(pipe.port1);
    channels.set(w, channel);
    try {
      w.postMessage({ [kChannelMark]: channelKey }, '*', [pipe.port2]);
    } catch (e) {
      channel.close();
      return answer(null);
    }
    return channel.request({ op: 'top' }).then((a) =>
      (Array.isArray(a) && a[0] === kOk && a[1] === 'o') ? fromRemote(channel, a) : answer(null));
  }

  function remoteArgument(a, channel) {
    if (a[0] !== 'o') return a;
    if (a[1] !== generation || !table.has(a[2])) fail(kNoObject);
    const o = table.get(a[2]);
    // Only objects of the same frame can be passed to it.
    if (!(o instanceof Remote) || o.channel !== channel) fail(kNoObject);
    return ['o', o.g, o.id];
  }

  function remoteInvoke(o, request) {
    const args = (request.args || []).map((a) => remoteArgument(a, o.channel));
    return o.channel.request({ op: 'invoke', g: o.g, id: o.id, name: request.name, kind: request.kind, args })
      .then((a) => fromRemote(o.channel, a));
  }

  // The frame's side: the first channel offered by the window above, with
  // the key, is taken and answered; the page never sees the offer.
  if (window.parent !== window) {
    window.addEventListener('message', (e) => {
      const d = e.data;
      if (!channelKey || !d || typeof d !== 'object' || d[kChannelMark] !== channelKey) return;
      e.stopImmediatePropagation();
      if (e.source !== window.parent || !e.ports || !e.ports[0]) return;
      const port = e.ports[0];
      port.onmessage = (m) => {
        const message = m.data;
        if (!message || typeof message !== 'object') return;
        Promise.resolve(dispatch(message.r)).then((a) => {
          try { port.postMessage({ q: message.q, a: a }); } catch (err) { }
        });
      };
    }, true);
  }

  // ---- requests -------------------------------------------------------

  function target(request) {
    if (request.g !== generation || !table.has(request.id)) fail(kNoObject);
    return table.get(request.id);
  }

  function release(id) {
    const o = table.get(id);
    if (o instanceof Remote && o.channel.open) o.channel.releases.push([o.g, o.id]);
    table.delete(id);
  }

  // An answer, or the promise of one when another frame has to answer.
  function handle(request) {
    navigationPending = !!request.nav;
    for (const r of request.rel || []) if (r[0] === generation) release(r[1]);
    switch (request.op) {
      case 'ping': return answer(table.size);
      case 'top': return answer(document);
      case 'frame': {
        const w = target(request);
        // A window inside another origin's frame: that frame's bridge
        // finds its document.
        if (w instanceof Remote) {
          return w.channel.request({ op: 'frame', g: w.g, id: w.id }).then((a) => fromRemote(w.channel, a));
        }
        const d = frameDocument(w);
        if (d || !isWindow(w)) return answer(d);
        return remoteFrameDocument(w);
      }
      case 'invoke': {
        const o = target(request);
        if (o instanceof Remote) return remoteInvoke(o, request);
        const args = (request.args || []).map(argument);
        return answer(invoke(o, request.name, request.kind, args));
      }
    }
    return [kUnknownName, 'e', null, generation];
  }

  function failure(e) {
    if (e instanceof Fail) return [e.code, 'e', null, generation];
    return [kException, 's', String(e && e.message), generation];
  }

  function dispatch(request) {
    try {
      const result = handle(request || {});
      return (result instanceof Promise) ? result.catch(failure) : result;
    } catch (e) {
      return failure(e);
    }
  }

  return function (json) {
    let request;
    try {
      request = JSON.parse(json);
    } catch (e) {
      return failure(e);
    }
    return dispatch(request);
  };
})();

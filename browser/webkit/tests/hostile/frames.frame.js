// Frames whose window objects the web process module's reach makes while it
// walks the page's frames. Every frame element of this page is sandboxed, so
// no reach the program makes into it finds its window in this page's own
// frames: each walks every frame the module has listed. Objects and embeds
// whose content does not load as a document (data: addresses, a missing
// page) have no window object in the bridge's world until a walk touches
// them; the first walk that does makes some sixty at once, each listed as
// it is made, far past the room the module's list had when the walk began,
// and the walk then goes on to the frames listed after this one. Frames
// come and go meanwhile, so the list also drops frames under the walk.
var m = '<iframe sandbox srcdoc="<iframe sandbox srcdoc=\'<p>in</p>\'></iframe><p>out</p>"></iframe>';
m += '<iframe sandbox srcdoc="<iframe srcdoc=\'<object type=text/html data=about:blank></object>\'></iframe>' +
     '<object type=text/html data=about:blank></object>"></iframe>';
for (var i = 0; i < 20; ++i)
  m += '<object type="text/html" data="data:text/html,<object type=text/html data=about:blank></object><p>d</p>"></object>';
for (var i = 0; i < 20; ++i) m += '<embed type="text/html" src="data:text/html,<iframe></iframe>">';
for (var i = 0; i < 20; ++i) m += '<object style="display:none" type="text/html" data="about:blank"></object>';
for (var i = 0; i < 20; ++i) m += '<iframe sandbox loading="lazy" style="margin-top:5000px" src="about:blank"></iframe>';
for (var i = 0; i < 20; ++i) m += '<object type="text/html" data="/no-such-page.html"></object>';
document.write(m);
new MutationObserver(function () {}).observe(document, { subtree: true, attributes: true, childList: true });
var rounds = 0, made = [];
var churn = setInterval(function () {
  for (var k = 0; k < 3; ++k) {
    var f = document.createElement(['object', 'iframe', 'embed'][k]);
    if (k == 0) { f.type = 'text/html'; f.data = 'data:text/html,<p>x</p>'; }
    if (k == 1) f.sandbox = '';
    if (k == 2) { f.type = 'text/html'; f.src = 'about:blank'; }
    document.body.appendChild(f);
    made.push(f);
  }
  while (made.length > 12) made.shift().remove();
  if (++rounds == 150) { clearInterval(churn); done(); }
}, 20);

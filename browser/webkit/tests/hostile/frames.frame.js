// Frames that come and go while the program reads, and a sandboxed frame
// the program reaches only through the web process module, whose reach then
// looks through every frame of the page. Each look makes the window objects
// of frames new since the last one, and each of those the module lists as
// it is made, dropping the frames that went: the module's list of frames
// changes under the walk that looks through it.
var markup = '';
for (var i = 0; i < 16; ++i) markup += '<object type="text/html" data="about:blank"></object>';
document.write('<iframe sandbox></iframe>' + markup);
var made = [], rounds = 0;
var churn = setInterval(function () {
  for (var k = 0; k < 4; ++k) {
    var f = document.createElement(k % 2 ? 'object' : 'iframe');
    if (k % 2) { f.type = 'text/html'; f.data = 'about:blank'; }
    document.body.appendChild(f);
    made.push(f);
  }
  while (made.length > 12) made.shift().remove();
  if (++rounds == 150) { clearInterval(churn); done(); }
}, 20);

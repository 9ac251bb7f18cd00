// Navigations to other schemes, of frames and of the top page: none starts,
// so the frames stay blank and the forum page stays.
['data:text/html,<p id=data>data</p>', 'file:///etc/hostname', 'brevane-test:x', 'ftp://127.0.0.1/'].forEach(function (u) {
  var f = document.createElement('iframe'); f.src = u; document.body.appendChild(f);
});
document.getElementById('go').onclick = function () { top.location = 'brevane-test:top'; };
setTimeout(done, 300);

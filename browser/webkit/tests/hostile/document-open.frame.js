// The frame wipes its listeners with document.open() and takes every
// message meant for a bridge; then it forges and replays what an older
// bridge's channel carried, and asks the forum page for proofs.
addEventListener('load', function () {
  document.open();
  document.write('<html><head><title>Ad</title></head><body><table id=ad><tr><td>ad</td></tr></table>' +
                 '<button id=go>Go</button></body></html>');
  document.close();
  addEventListener('message', function (e) {
    note('message ' + JSON.stringify(e.data) + (e.ports && e.ports.length ? ' with a port' : ''));
    if (e.ports && e.ports[0]) {
      e.ports[0].onmessage = function (m) { note('request ' + JSON.stringify(m.data)); };
      parent.postMessage({ __brevaneBridgeChannel: 'challenge', offer: e.data && e.data.offer, challenge: 'c' }, '*');
      e.ports[0].postMessage({ q: 1, a: [0, 'i', 2147483647, 'g'] });
    }
  });
  var pipe = new MessageChannel();
  pipe.port1.onmessage = function (m) { note('answered ' + JSON.stringify(m.data)); };
  var rounds = 0;
  var timer = setInterval(function () {
    parent.postMessage({ __brevaneBridgeChannel: 'challenge', offer: 'x', challenge: 'c' + rounds }, '*');
    parent.postMessage({ __brevaneBridgeChannel: 'offer', offer: 'y' + rounds }, '*', rounds ? [] : [pipe.port2]);
    parent.postMessage({ q: rounds, r: { op: 'top' } }, '*');
    top.postMessage({ proof: 'made up', q: rounds, r: { op: 'invoke', name: 'setTimeout', kind: 1,
                      args: [['s', 'document.title = 1']] } }, '*');
    if (++rounds == 20) { clearInterval(timer); done(); }
  }, 25);
});

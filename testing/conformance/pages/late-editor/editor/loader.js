// A rich-text editor as widely used editors load: configuration and
// language first, then its skin, then its frame in design mode, written by
// script; its own first content comes after one more request (the styles
// of the editing area).
(function () {
  // Written for the IE7 mode a hosted control shows such a page in, too.
  function fetch(path, then) {
    var request = new XMLHttpRequest();
    request.onreadystatechange = function () {
      if (request.readyState === 4) then();
    };
    request.open('GET', path, true);
    request.send(null);
  }
  fetch('editor/config.js', function () {
    fetch('editor/lang.js', function () {
      var skin = document.createElement('link');
      skin.rel = 'stylesheet';
      skin.href = 'editor/skin.css';
      skin.onload = skin.onerror = function () {
        var frame = document.createElement('iframe');
        frame.width = 600;
        frame.height = 200;
        document.getElementById('editor-box').appendChild(frame);
        var doc = frame.contentWindow.document;
        doc.open();
        doc.write('<html><head></head><body></body></html>');
        doc.close();
        doc.designMode = 'on';
        fetch('editor/content.css', function () {
          doc.body.innerHTML = '<p><br></p>';
        });
      };
      document.getElementsByTagName('head')[0].appendChild(skin);
    });
  });
})();

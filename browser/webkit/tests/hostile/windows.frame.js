// In the program's click and without one, the frame asks for print, full
// screen, pointer lock, a file chooser, notifications, a position, the
// camera, the clipboard and a new window; nothing opens.
try { print(); } catch (e) { }
var waiting = 6;
function settled() { if (--waiting == 0) done(); }
document.addEventListener('fullscreenchange', function () { note('full screen'); });
document.addEventListener('pointerlockchange', function () { note('pointer lock'); });
document.getElementById('go').onclick = function () {
  try { print(); } catch (e) { }
  try { document.documentElement.requestFullscreen().then(function () { note('full screen granted'); }, function () { }); } catch (e) { }
  try { document.body.requestPointerLock(); } catch (e) { }
  var file = document.createElement('input'); file.type = 'file'; document.body.appendChild(file);
  file.addEventListener('change', function () { note('file chosen'); }); file.click();
  if (window.open('about:blank')) note('window opened');
  Notification.requestPermission().then(function (p) { if (p === 'granted') note('notifications'); settled(); });
  navigator.geolocation.getCurrentPosition(function () { note('position'); settled(); }, settled);
  navigator.mediaDevices ? navigator.mediaDevices.getUserMedia({ video: true }).then(function () { note('camera'); settled(); }, settled) : settled();
  navigator.permissions.query({ name: 'geolocation' }).then(function (s) { if (s.state === 'granted') note('permission'); settled(); }, settled);
  navigator.clipboard ? navigator.clipboard.readText().then(function (t) { note('clipboard'); settled(); }, settled) : settled();
  setTimeout(settled, 300);
};

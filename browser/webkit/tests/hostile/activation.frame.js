// In the program's click, the frame tries what a user's click would let it
// do: write the clipboard and the primary selection, and open a picker.
var words = document.createElement('p');
words.textContent = 'brevane-activation';
document.body.appendChild(words);
var date = document.createElement('input');
date.type = 'date';
document.body.appendChild(date);
document.getElementById('go').onclick = function () {
  if (navigator.userActivation && navigator.userActivation.isActive) note('activation');
  try {
    navigator.clipboard.writeText('brevane-activation').then(function () { note('clipboard written'); }, function () { });
  } catch (e) { }
  var range = document.createRange();
  range.selectNodeContents(words);
  getSelection().removeAllRanges();
  getSelection().addRange(range);
  try { if (document.execCommand('copy')) note('copied'); } catch (e) { }
  try { date.showPicker(); note('picker shown'); } catch (e) { }
  setTimeout(done, 300);
};

// The forum page's own button opens a date picker when clicked, and writes
// down in its body's data-picked whether the picker came.
var when = document.createElement('input');
when.type = 'date';
document.body.appendChild(when);
var pick = document.createElement('button');
pick.id = 'pick';
pick.textContent = 'Pick';
document.body.appendChild(pick);
pick.onclick = function () {
  try { when.showPicker(); brevaneSet.call(document.body, 'data-picked', 'shown'); }
  catch (e) { brevaneSet.call(document.body, 'data-picked', 'refused'); }
};

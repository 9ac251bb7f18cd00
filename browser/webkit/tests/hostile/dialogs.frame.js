// A flood of script dialogs of every kind for two seconds, in tasks of 20 ms
// so that the page still answers between them; the count goes in the body's
// data-dialogs and what the first dialogs answered in data-answers.
var made = 0, answers = '', end = Date.now() + 2000;
function flood() {
  var pause = Date.now() + 20;
  while (Date.now() < pause) {
    alert(made);
    var yes = confirm('again?');
    var text = prompt('name?', 'me');
    if (made == 0) answers = String(yes) + ' ' + text;
    made += 3;
  }
  if (Date.now() < end) return setTimeout(flood, 5);
  document.body.setAttribute('data-dialogs', String(made));
  document.body.setAttribute('data-answers', answers);
  done();
}
setTimeout(flood, 0);

// What the conformance driver reads back from a page: the root element of
// the document gets data-clicked (the id of the element clicked last) and
// data-sent (the id of the form sent last; a send the page itself cancelled,
// as a refused confirm() does, is not recorded). The send is held back so
// the page stays for the next check, except for a form marked data-go: that
// one is sent, and the page goes to its answer.
document.addEventListener('click', function (e) {
  var t = e.target;
  document.documentElement.setAttribute('data-clicked', (t && t.id) || '');
}, true);
window.addEventListener('submit', function (e) {
  if (!e.defaultPrevented) document.documentElement.setAttribute('data-sent', e.target.id || '');
  if (!e.target.hasAttribute('data-go')) e.preventDefault();
});

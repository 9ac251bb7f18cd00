// Written into every hostile page first: note() records what the page
// caught in its body's data-learned attribute, with the functions of the
// page's world taken before the page replaces them; done() says the page
// has finished its attempts.
var brevaneCaught = [];
var brevaneSet = Element.prototype.setAttribute;
var brevaneBody = Object.getOwnPropertyDescriptor(Document.prototype, 'body').get;
var brevaneBusy = false;
function note(what) {
  if (brevaneBusy) return;
  brevaneBusy = true;
  brevaneCaught.push(String(what).slice(0, 80));
  var b = brevaneBody.call(document);
  if (b) brevaneSet.call(b, 'data-learned', brevaneCaught.join(' | '));
  brevaneBusy = false;
}
function done() { var b = brevaneBody.call(document); if (b) brevaneSet.call(b, 'data-done', '1'); }

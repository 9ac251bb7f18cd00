// One task that allocates and touches 3 GB, with no turn of the event loop
// in between: nothing on the page's main thread runs until it ends.
addEventListener('load', function () {
  setTimeout(function () {
    var keep = [];
    for (var mb = 0; mb < 3072; mb += 64) keep.push(new Uint8Array(64 << 20).fill(1));
    window.kept = keep;
    done();
  }, 0);
});

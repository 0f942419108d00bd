// A classic script, which a browser runs even where it refuses the page's
// modules: opened as a file (file://), where Chromium refuses modules, or
// wherever app.js fails to load, the page says how to serve it instead of
// leaving a picker that never wakes.
'use strict';
(function () {
  function show() {
    var note = document.getElementById('unserved');
    if (note && document.body.dataset.ready !== '1') {
      note.hidden = false;
      // In place of a picker that would never wake.
      document.getElementById('drop').hidden = true;
    }
  }
  if (location.protocol === 'file:')
    show();
  // A module that cannot be fetched fails on its script element, which
  // sends the error to no one else: it is caught on the way down.
  document.addEventListener('error', function (event) {
    if (event.target && event.target.id === 'app-script')
      show();
  }, true);
})();

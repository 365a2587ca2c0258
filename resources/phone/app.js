'use strict';
// The counting page: asks the server who this phone is and what the desk set.
fetch('/api/state', { credentials: 'same-origin' })
  .then((r) => r.json().then((body) => ({ ok: r.ok, body })))
  .then(({ ok, body }) => {
    document.getElementById('status').textContent = ok
      ? body.date + ' の棚卸（' + body.phone + '）'
      : body.error;
  });

// Small touches for the gateway's pages. Every page works without this file.
(function () {
  'use strict';

  function two(n) { return (n < 10 ? '0' : '') + n; }

  // Dates arrive in the feed's zone or in GMT; show them in the reader's own time.
  function localTimes() {
    var now = new Date();
    var times = document.querySelectorAll('time[datetime]');
    for (var i = 0; i < times.length; i++) {
      var t = times[i];
      var value = t.getAttribute('datetime');
      if (value.indexOf('T') < 0) continue;
      var d = new Date(value);
      if (isNaN(d.getTime())) continue;
      var text = (d.getMonth() + 1) + '\u6708' + d.getDate() + '\u65e5 ' +
                 two(d.getHours()) + ':' + two(d.getMinutes());
      if (d.getFullYear() !== now.getFullYear()) text = d.getFullYear() + '\u5e74' + text;
      t.textContent = text;
    }
  }

  // The view buttons of a page: mark the one the reader is on.
  function currentView() {
    var here = location.href.split('#')[0];
    var links = document.querySelectorAll('.views a[href]');
    for (var i = 0; i < links.length; i++) {
      if (links[i].href === here) links[i].setAttribute('aria-current', 'page');
    }
  }

  // The bottom edge of the sticky bar: what lies above it is out of sight.
  function barBottom() {
    var bar = document.querySelector('.topbar');
    if (!bar || getComputedStyle(bar).position !== 'sticky') return 0;
    return bar.getBoundingClientRect().bottom;
  }

  // j and k step through the item titles, as in most feed readers: from the focused
  // title while it is on screen, otherwise from what the reader sees, so j takes the
  // first title below the bar and k the last one above it.
  function itemKeys() {
    var calm = window.matchMedia && window.matchMedia('(prefers-reduced-motion: reduce)');
    document.addEventListener('keydown', function (e) {
      if (e.altKey || e.ctrlKey || e.metaKey) return;
      var tag = (e.target && e.target.tagName) || '';
      if (tag === 'INPUT' || tag === 'SELECT' || tag === 'TEXTAREA' || e.target.isContentEditable) return;
      if (e.key !== 'j' && e.key !== 'k') return;
      var titles = Array.prototype.slice.call(document.querySelectorAll('.item-title a'));
      if (!titles.length) return;
      var top = barBottom() - 0.5;
      var at = titles.indexOf(document.activeElement);
      if (at >= 0) {
        var r = titles[at].getBoundingClientRect();
        if (r.bottom <= top || r.top >= window.innerHeight) at = -1;  // scrolled away from it
      }
      var next = -1;
      if (at >= 0) {
        next = e.key === 'j' ? at + 1 : at - 1;
      } else {
        for (var i = 0; i < titles.length; i++) {
          var below = titles[i].getBoundingClientRect().top >= top;
          if (e.key === 'j' && below) { next = i; break; }
          if (e.key === 'k' && !below) next = i;
        }
      }
      if (next < 0 || next >= titles.length) return;
      titles[next].focus({ preventScroll: true });
      titles[next].closest('.item').scrollIntoView({
        block: 'start', behavior: calm && calm.matches ? 'auto' : 'smooth'
      });
      e.preventDefault();
    });
  }

  // The keep buttons: sent in the background, the star turned in place. Without fetch,
  // or when the gateway asks for a confirmation, the page's keep form goes as it is.
  function keepButtons() {
    function show(b, kept) {
      b.name = kept ? 'drop' : 'keep';
      b.setAttribute('aria-pressed', kept ? 'true' : 'false');
      b.textContent = kept ? '\u2605' : '\u2606';
    }
    document.addEventListener('click', function (e) {
      var b = e.target && e.target.closest ? e.target.closest('button.keep') : null;
      var form = b && b.form;
      if (!form || !window.fetch || !window.URLSearchParams || !window.FormData) return;
      e.preventDefault();
      if (b.disabled) return;
      var data = new URLSearchParams(new FormData(form));
      data.append(b.name, b.value);
      data.append('js', 'on');
      b.disabled = true;
      fetch(form.action, { method: 'POST', body: data, credentials: 'same-origin' })
        .then(function (r) { return r.text(); })
        .then(function (text) {
          var state = (/state="([a-z-]+)"/.exec(text) || [])[1];
          b.disabled = false;
          // Into another book than the kept one: the star stays, the answer is said.
          var book = form.elements.b;
          var status = document.querySelector('.keep-status');
          if (book && book.selectedIndex > 0 && status && state && state !== 'confirm') {
            status.textContent = book.value + ' : ' +
              (status.getAttribute('data-' + state) || status.getAttribute('data-failed'));
          } else if (state === 'kept' || state === 'already') show(b, true);
          else if (state === 'dropped' || state === 'not-kept') show(b, false);
          else if (form.requestSubmit) form.requestSubmit(b);
          else form.submit();
        }, function () { b.disabled = false; });
    });
  }

  localTimes();
  currentView();
  itemKeys();
  keepButtons();
})();

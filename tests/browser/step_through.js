// Appended to a copy of a check report, after diagram_reading.js: steps every problem's diagram
// through its solution with the page's own buttons and keys, and writes what
// the SVG shows after each step into <pre id="kestrane-dom-test">:
//   diagram <section id> yes|no
//   ply <section id> <ply> <board as SFEN> <hands as SFEN> <marked square or ->
//   key <section id> <ply label after ArrowLeft> <after Home> <after a click on move 1>
//   line <section id> <finding> <ply label> <moves from the start, comma-separated>
//   lineply <section id> <finding> <ply> <board as SFEN> <hands as SFEN>
//   back <section id> <finding> <ply label> <line shown: -1 for the main line>
(function () {
  'use strict';
  var board = kestraneDiagram.board, hand = kestraneDiagram.hand, marked = kestraneDiagram.marked;

  var out = [];
  document.querySelectorAll('section.problem').forEach(function (section) {
    var svg = section.querySelector('svg.diagram');
    var drawn = svg && svg.querySelector('rect.grid') && svg.querySelectorAll('text.pc').length > 0;
    out.push('diagram ' + section.id + ' ' + (drawn ? 'yes' : 'no'));
    if (!drawn) return;
    var next = section.querySelector('button[data-step="next"]');
    section.querySelector('button[data-step="first"]').click();
    for (var ply = 0; ply < 1000; ply++) {
      out.push(['ply', section.id, ply, board(svg), hand(svg, 'b') + hand(svg, 'w') || '-', marked(svg)].join(' '));
      if (next.disabled) break;
      next.click();
    }
    var label = section.querySelector('.ply');
    section.scrollIntoView();
    section.click();
    document.dispatchEvent(new KeyboardEvent('keydown', {key: 'ArrowLeft', bubbles: true}));
    var afterLeft = label.textContent.replace(/ /g, '');
    document.dispatchEvent(new KeyboardEvent('keydown', {key: 'Home', bubbles: true}));
    var afterHome = label.textContent.replace(/ /g, '');
    var move = section.querySelector('.mv[data-ply="1"]');
    if (move) move.click();
    out.push(['key', section.id, afterLeft, afterHome, label.textContent.replace(/ /g, '')].join(' '));
    // Each finding's "play" button: the diagram from the branch to the end,
    // then the main line again.
    var player = (window.kestranePlayers || []).filter(function (p) { return p.section === section; })[0];
    section.querySelectorAll('button.alt-line').forEach(function (button) {
      var k = button.getAttribute('data-line');
      if (k === '-1') return;
      button.click();
      out.push(['line', section.id, k, label.textContent.replace(/ /g, ''), player.data.usi.join(',')].join(' '));
      for (var step = 0; step < 1000; step++) {
        out.push(['lineply', section.id, k, player.ply, board(svg), hand(svg, 'b') + hand(svg, 'w') || '-'].join(' '));
        if (next.disabled) break;
        next.click();
      }
      var back = section.querySelector('button.alt-line[data-line="-1"]');
      back.click();
      out.push(['back', section.id, k, label.textContent.replace(/ /g, ''), section.getAttribute('data-showing')].join(' '));
    });
  });
  var pre = document.createElement('pre');
  pre.id = 'kestrane-dom-test';
  pre.textContent = out.join('\n');
  document.body.appendChild(pre);
})();

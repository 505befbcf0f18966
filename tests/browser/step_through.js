// Appended to a copy of a check report: steps every problem's diagram
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
  var LETTERS = {'歩': 'P', '香': 'L', '桂': 'N', '銀': 'S', '金': 'G', '角': 'B', '飛': 'R', '玉': 'K',
                 'と': '+P', '杏': '+L', '圭': '+N', '全': '+S', '馬': '+B', '龍': '+R'};
  var NUMBERS = {'二': 2, '三': 3, '四': 4, '五': 5, '六': 6, '七': 7, '八': 8, '九': 9};
  var RANKS = 'abcdefghi';

  function square(svg, x, y) {
    var grid = svg.querySelector('rect.grid');
    var gx = +grid.getAttribute('x'), gy = +grid.getAttribute('y'), c = +grid.getAttribute('width') / 9;
    return {file: 9 - Math.floor((x - gx) / c), rank: Math.floor((y - gy) / c) + 1};
  }

  function board(svg) {
    var cells = {};
    svg.querySelectorAll('text.pc').forEach(function (t) {
      var at = square(svg, +t.getAttribute('x'), +t.getAttribute('y'));
      var letter = LETTERS[t.textContent] || '?';
      var turned = /rotate\(180/.test(t.getAttribute('transform') || '');
      cells[at.file + ',' + at.rank] = turned ? letter.toLowerCase() : letter;
    });
    var rows = [];
    for (var r = 1; r <= 9; r++) {
      var row = '', empty = 0;
      for (var f = 9; f >= 1; f--) {
        var p = cells[f + ',' + r];
        if (!p) { empty++; continue; }
        if (empty) { row += empty; empty = 0; }
        row += p;
      }
      rows.push(row + (empty ? empty : ''));
    }
    return rows.join('/');
  }

  function hand(svg, side) {
    var text = svg.querySelector('text.hand[data-side="' + side + '"]').textContent;
    var parts = text.split('持駒')[1].trim().split(/\s+/), counts = {};
    parts.forEach(function (part) {
      if (part === 'なし') return;
      var letter = LETTERS[part[0]], rest = part.slice(1), n = 1;
      if (rest.length) n = rest[0] === '十' ? 10 + (NUMBERS[rest[1]] || 0) : NUMBERS[rest[0]];
      counts[letter] = n;
    });
    var out = '';
    ['R', 'B', 'G', 'S', 'N', 'L', 'P'].forEach(function (l) {
      if (!counts[l]) return;
      out += (counts[l] > 1 ? counts[l] : '') + (side === 'b' ? l : l.toLowerCase());
    });
    return out;
  }

  function marked(svg) {
    var mark = svg.querySelector('rect.last');
    if (!mark) return '-';
    var c = +svg.querySelector('rect.grid').getAttribute('width') / 9;
    var at = square(svg, +mark.getAttribute('x') + c / 2, +mark.getAttribute('y') + c / 2);
    return at.file + RANKS[at.rank - 1];
  }

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
